// merrowby-admin: a data folder's chores and the program's runs, from the command line. Every
// command is in the command table (AdminCommands.h); without arguments the tool prints the usage.

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

#include "AdminCommands.h"
#include "version.h"

namespace {

int usage() {
    std::fputs(AdminUsage().c_str(), stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command == QLatin1String("--version") || command == QLatin1String("version")) {
        std::printf("merrowby-admin %s\n", MERROWBY_VERSION_TEXT);
        return 0;
    }
    // Runs that lay out text need fonts: a GUI application, on the offscreen platform unless
    // another is asked for. The application takes its own options (-platform ...) out of argv.
    std::unique_ptr<QCoreApplication> app;
    if (AdminNeedsFonts(command)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args;
    for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const int rc = RunAdminCommand(command, args);
    return rc == kAdminUnknownCommand ? usage() : rc;
}
