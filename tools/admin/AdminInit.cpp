// merrowby-admin init DIR: a new data folder with the four tables, the common label stocks, the
// indexes and the user guide.

#include <QDir>
#include <QFile>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/Schema.h"

// The user guide is compiled into the resources library, whose resources its user registers
// (outside any namespace, as Q_INIT_RESOURCE requires).
static void registerResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

extern const AdminCommand kAdminInit;

namespace {

int run(const QStringList& args) {
    AdminArgs a("init", kAdminInit.usage);
    if (!a.parse(args, 1, 1)) return 2;
    const QString dir = a.plain(0);
    // Like every writer, init waits its turn behind the program and the other commands.
    QDir().mkpath(dir);
    AdminSession session("init", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    const xbase::Status s = CreateDataSet(dir.toStdString());
    if (!s.ok()) return session.fail(QString::fromStdString(s.toString()));
    // The user guide goes with the data: the program's Help opens mby.htm in its directory, and
    // the guide shows its pictures from guide/ beside it. A guide that cannot be written is
    // said, and the data set stands.
    registerResources();
    const QString base = dir + QLatin1Char('/');
    const auto place = [&session](const QString& from, const QString& to) {
        if (QFile::copy(from, to))
            QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        else
            session.fail(QStringLiteral("could not write ") + to);
    };
    place(QStringLiteral(":/mby.htm"), base + QStringLiteral("mby.htm"));
    const QDir pictures(QStringLiteral(":/guide"));
    (void)QDir(base).mkpath(QStringLiteral("guide"));  // when it cannot be made, each copy says so
    for (const QString& name : pictures.entryList(QDir::Files))
        place(pictures.filePath(name), base + QStringLiteral("guide/") + name);
    std::printf("created a new data set in %s\n", dir.toLocal8Bit().constData());
    return 0;
}

}  // namespace

extern const AdminCommand kAdminInit = {"init", false, run, "merrowby-admin init DIR"};
