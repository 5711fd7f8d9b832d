// A stand-in desktop notice server for the tests of `merrowby-admin upcoming --notify`: it takes
// the name org.freedesktop.Notifications on the session bus (a private one, from
// dbus-run-session), runs the command it is given, writes the notices it was sent to OUT as a
// JSON array of {app, icon, summary, body}, and exits with the command's exit status.
//
//   notice_listener OUT COMMAND [ARGUMENT...]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QVariantMap>
#include <cstdio>

class NoticeServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QJsonArray notices;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        notices.append(QJsonObject{{"app", app}, {"icon", icon}, {"summary", summary}, {"body", body}});
        return uint(notices.size());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: notice_listener OUT COMMAND [ARGUMENT...]\n");
        return 2;
    }
    NoticeServer server;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "notice_listener: %s\n", qPrintable(bus.lastError().message()));
        return 3;
    }
    QProcess command;
    command.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args = app.arguments().mid(3);
    int status = 4;
    QObject::connect(&command, &QProcess::finished, &app, [&](int code, QProcess::ExitStatus how) {
        status = how == QProcess::NormalExit ? code : 5;
        app.quit();
    });
    QObject::connect(&command, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) app.quit();
    });
    command.start(app.arguments().at(2), args);
    app.exec();
    QFile out(app.arguments().at(1));
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(server.notices).toJson()) < 0) return 6;
    return status;
}

#include "NoticeListener.moc"
