// The user guide against the admin tool: its command reference names every command the tool's
// usage lists, and `init` puts the guide into a new data folder with every picture it shows.
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "AdminProcess.h"

namespace {

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The commands of "merrowby-admin" run without arguments, from its usage lines.
QSet<QString> usageCommands() {
    QSet<QString> names;
    static const QRegularExpression line(QStringLiteral("^\\s*merrowby-admin ([a-z-]+) DIR"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(admin({}).err); it.hasNext();)
        names.insert(it.next().captured(1));
    return names;
}

}  // namespace

TEST(AdminGuide, CommandReferenceNamesEveryCommandOfTheUsage) {
    if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
    const QSet<QString> commands = usageCommands();
    ASSERT_TRUE(commands.contains(QStringLiteral("init")) && commands.contains(QStringLiteral("stocks")))
        << "the usage text was not understood";
    const QString guide = QString::fromUtf8(bytes(QStringLiteral(MERROWBY_SOURCE_DIR "/docs/mby.htm")));
    const qsizetype from = guide.indexOf(QStringLiteral("<h2 id=\"admin\""));
    ASSERT_GE(from, 0) << "the guide has no command reference";
    const QString reference = guide.mid(from, guide.indexOf(QStringLiteral("<h2"), from + 1) - from);
    for (const QString& name : commands)
        EXPECT_TRUE(reference.contains(QRegularExpression(QStringLiteral("merrowby-admin %1\\b").arg(name))))
            << "the guide's command reference does not describe " << name.toStdString();
}

TEST(AdminGuide, InitPutsTheGuideAndEveryPictureItShowsInTheDataFolder) {
    if (!QFile::exists(kAdmin)) GTEST_SKIP() << "merrowby-admin not built";
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("data"));
    const AdminRun r = admin({QStringLiteral("init"), dir});
    ASSERT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_FALSE(r.err.contains("could not write")) << r.err.toStdString();
    const QByteArray guide = bytes(dir + QStringLiteral("/mby.htm"));
    ASSERT_EQ(guide, bytes(QStringLiteral(MERROWBY_SOURCE_DIR "/docs/mby.htm")));
    static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
    int pictures = 0;
    for (auto it = img.globalMatch(QString::fromUtf8(guide)); it.hasNext(); ++pictures) {
        const QString src = it.next().captured(1);
        const QByteArray copy = bytes(dir + QLatin1Char('/') + src);
        EXPECT_FALSE(copy.isEmpty()) << src.toStdString() << " is not in the data folder";
        EXPECT_EQ(copy, bytes(QStringLiteral(MERROWBY_SOURCE_DIR "/docs/") + src)) << src.toStdString();
    }
    EXPECT_GT(pictures, 0);
}
