#pragma once
// A second thread for the engine's bulk work (collecting keys, sorting them). Starting a thread
// can fail (a limit on threads, or no memory for its stack): the work is then done on the
// calling thread, so the caller gets the same result, only later. The work must not throw.

#include <exception>
#include <thread>

namespace xbase {

class HelperThread {
public:
    HelperThread() = default;
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread() { join(); }

    // Runs work() on a new thread, or here and now when none can be started. `work` is held by
    // reference and must outlive join().
    template <class F>
    void run(F& work) noexcept {
        try {
            thread_ = std::thread([&work] { work(); });
            return;
        } catch (...) {
            // No thread: fall through and do it ourselves.
        }
        work();
    }
    void join() noexcept {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace xbase
