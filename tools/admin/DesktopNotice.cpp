#include "DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";

}  // namespace

QString SessionBusProblem() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) return QString();
    const QString why = bus.lastError().message();
    return QStringLiteral("no session bus, so no desktop notice") +
           (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')'));
}

QString SendDesktopNotice(const QString& summary, const QString& body) {
    if (const QString why = SessionBusProblem(); !why.isEmpty()) return why;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusInterface server{QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService), bus};
    const QDBusReply<QStringList> caps = server.call(QStringLiteral("GetCapabilities"));
    if (!caps.isValid()) return QStringLiteral("no notice server on the session bus (") + caps.error().message() + QLatin1Char(')');
    // A server that reads markup would take "Smith & Sons" for the start of an entity.
    const QString text = caps.value().contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("merrowby"));
    const QDBusReply<uint> id = server.call(QStringLiteral("Notify"), QStringLiteral("Merrowby"), uint(0),
                                            QStringLiteral("merrowby"), summary, text, QStringList(), hints, int(-1));
    if (!id.isValid()) return QStringLiteral("the notice server refused the notice (") + id.error().message() + QLatin1Char(')');
    return QString();
}
