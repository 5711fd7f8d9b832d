#pragma once
// Starting a harness worker and killing it at a chosen moment; both harness modes use it.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace crashtest {

enum class RoundEnd { Killed, EndedByItself, NoStart };

// Starts `self` with `args`, its standard output appended to `log`, kills it with SIGKILL after
// `delayMs` milliseconds and waits for it. *status receives the wait status.
inline RoundEnd startAndKill(const std::string& self, const std::string& log,
                             const std::vector<std::string>& args, int delayMs, int* status) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(self.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return RoundEnd::NoStart;
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(5);
        ::execv(self.c_str(), argv.data());
        ::_exit(6);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(pid, SIGKILL);
    *status = 0;
    ::waitpid(pid, status, 0);
    return WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL ? RoundEnd::Killed : RoundEnd::EndedByItself;
}

}  // namespace crashtest
