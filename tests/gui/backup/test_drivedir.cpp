// The drive-and-directory dialog: volumes, an unreadable volume, and what OK and Cancel return.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListView>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/common/Installed.h"
#include "MessageLog.h"
#include "TestData.h"
#include "gui/backup/DriveDir.h"

namespace {

class DriveDirTest : public ::testing::Test {
protected:
    QTemporaryDir a, b;
    MessageLog msgs;
    // Three volumes: a's folder, one whose root is gone, b's folder.
    struct Volumes : TDriveDir::VolumeSource {
        QString a, b;
        QList<DriveVolume> volumes() override {
            return {{QStringLiteral("vol-a"), a}, {QStringLiteral("gone"), a + QStringLiteral("/not-there")},
                    {QStringLiteral("vol-b"), b}};
        }
    } volumes;
    void SetUp() override {
        ASSERT_TRUE(QDir(a.path()).mkpath(QStringLiteral("sub/deeper")));
        volumes.a = a.path();
        volumes.b = b.path();
        Installed<TDriveDir::VolumeSource>::install(&volumes);
    }
    void TearDown() override { Installed<TDriveDir::VolumeSource>::install(nullptr); }
};

}  // namespace

TEST_F(DriveDirTest, OkReturnsTheDirectoryShownAndCancelReturnsNothing) {
    TDriveDir dlg;
    EXPECT_EQ(dlg.FileListBox1->isEnabled(), false);
    ASSERT_TRUE(dlg.setCurrentDirectory(a.path() + QStringLiteral("/sub")));
    EXPECT_EQ(dlg.DriveComboBox1->currentText(), QStringLiteral("vol-a"));
    const QString cwd = QDir::currentPath();
    QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.BtnOK, Qt::LeftButton); });
    dlg.exec();
    EXPECT_EQ(ChosenDir, a.path() + QStringLiteral("/sub"));
    EXPECT_EQ(QDir::currentPath(), cwd);

    QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.BtnCancel, Qt::LeftButton); });
    dlg.exec();
    EXPECT_TRUE(ChosenDir.isEmpty());

    // Closed by other means counts as cancelled too.
    QTimer::singleShot(0, &dlg, [&] { dlg.reject(); });
    dlg.exec();
    EXPECT_TRUE(ChosenDir.isEmpty());
}

TEST_F(DriveDirTest, UnreadableVolumeIsReportedAndTheDialogGoesBack) {
    TDriveDir dlg;
    ASSERT_TRUE(dlg.setCurrentDirectory(b.path()));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.DriveComboBox1->setCurrentIndex(1);
    dlg.DriveComboBox1Change(1);
    EXPECT_EQ(msgs.texts(), QStringList{"Unable to read from drive gone"});
    EXPECT_EQ(dlg.DriveComboBox1->currentText(), QStringLiteral("vol-b"));
    EXPECT_EQ(dlg.currentDirectory(), b.path());

    msgs.clear();
    dlg.DriveComboBox1Change(0);  // a readable one is taken
    EXPECT_TRUE(msgs.texts().isEmpty());
    EXPECT_EQ(dlg.currentDirectory(), a.path());
    dlg.hide();
}

TEST_F(DriveDirTest, TheMountedVolumesIncludeTheRoot) {
    Installed<TDriveDir::VolumeSource>::install(nullptr);
    bool root = false;
    for (const DriveVolume& v : TDriveDir::mountedVolumes()) {
        EXPECT_FALSE(v.rootPath.startsWith(QStringLiteral("/proc")));
        root = root || v.rootPath == QStringLiteral("/");
    }
    EXPECT_TRUE(root);
}
