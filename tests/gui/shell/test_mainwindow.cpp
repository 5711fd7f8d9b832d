// The main window's frame, its menus, the About box and the program's windows.
#include <QApplication>
#include <QDesktopServices>
#include <QDirIterator>
#include <QImage>
#include <QMenuBar>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <functional>
#include <QPushButton>
#include <QFileInfo>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include "MessageLog.h"
#include "TestData.h"
#include "gui/shell/AboutForm.h"
#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "gui/common/MessageBoxes.h"
#include "core/data/Records.h"
#include "gui/backup/DriveDir.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "gui/import/Import.h"
#include "gui/labels/LabPrint.h"
#include "gui/labels/LabSel.h"
#include "gui/labels/LabelDef.h"
#include "gui/labels/PickLab.h"
#include "gui/addressbook/AddressPage.h"
#include "gui/occasions/OccasionsPage.h"
#include "gui/setup/SetupPage.h"
#include "gui/reminders/DateSpan.h"
#include "gui/reminders/REReport.h"
#include "xbase/Library.h"

// Receives the URLs the desktop is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

namespace {

TEST(MainWindow, FrameAsDesigned) {
    QApplication::setQuitOnLastWindowClosed(false);
    TQuenlow w;
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Merrowby"));
    EXPECT_EQ(w.palette().color(QPalette::Window).green(), 0xDC);
    EXPECT_NE(w.statusBar(), nullptr);

    QTabWidget* pc = w.pageControl();
    ASSERT_EQ(pc->count(), 3);
    EXPECT_EQ(pc->tabText(0), QStringLiteral("Address Book"));
    EXPECT_EQ(pc->tabText(1), QStringLiteral("Labels && Reminders"));  // one "&" shown
    EXPECT_EQ(pc->tabText(2), QStringLiteral("Setup && Maintenance"));
    EXPECT_EQ(pc->widget(0), w.addressPage());
    EXPECT_EQ(pc->widget(1), w.occasionsPage());
    EXPECT_EQ(pc->widget(2), w.setupPage());
    EXPECT_EQ(pc->iconSize(), QSize(32, 32));
    EXPECT_TRUE(pc->tabBar()->font().bold());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pc->tabBar()->tabRect(i).height(), 34) << i;

    const QList<QAction*> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("File"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Help"));
    ASSERT_EQ(menus[0]->menu()->actions().size(), 1);
    EXPECT_EQ(menus[0]->menu()->actions()[0], w.Exit1);
    EXPECT_EQ(w.Exit1->text(), QStringLiteral("Exit"));
    // The two items of the design first; Coming Up follows them.
    EXPECT_EQ(menus[1]->menu()->actions(), (QList<QAction*>{w.AboutBrantix1, w.Help2, w.ComingUp1}));
    EXPECT_EQ(w.AboutBrantix1->text(), QStringLiteral("About Brantix"));
    EXPECT_EQ(w.Help2->text(), QStringLiteral("Help"));
}

TEST(MainWindow, PagesFillTheirTabsAfterShowing) {
    TestDataDir data;
    ScopedCurrentDir cwd(data.path());
    MessageLog msgs;
    PauseScale = 0;
    {
        TQuenlow w;
        w.show();
        QApplication::processEvents();
        ASSERT_TRUE(w.startedUp());
        const QSize page = w.addressPage()->size();
        EXPECT_NEAR(page.width(), 737, 8);
        EXPECT_NEAR(page.height(), 437, 8);
        EXPECT_EQ(w.size(), QSize(800, 600));
        // The address book is open exactly while its page is in front.
        EXPECT_NE(AddrBookTable, nullptr);
        w.pageControl()->setCurrentIndex(2);
        EXPECT_EQ(AddrBookTable, nullptr);
        w.pageControl()->setCurrentIndex(1);
        EXPECT_EQ(AddrBookTable, nullptr);
        w.pageControl()->setCurrentIndex(0);
        EXPECT_NE(AddrBookTable, nullptr);
        EXPECT_EQ(w.pageControl()->currentWidget(), w.addressPage());
        w.close();
        EXPECT_EQ(AddrBookTable, nullptr);
    }
    PauseScale = 1;
    EXPECT_EQ(LibHandle, nullptr);
    EXPECT_TRUE(msgs.texts().isEmpty()) << msgs.texts().join('|').toStdString();
}

TEST(MainWindow, HelpOpensTheDocumentInTheWorkingDirectory) {
    TestDataDir dir(TestDataDir::Empty);
    ScopedCurrentDir cwd(dir.path());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    TQuenlow w;
    w.Help2->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_TRUE(catcher.urls[0].isLocalFile());
    const QFileInfo doc(catcher.urls[0].toLocalFile());
    EXPECT_EQ(QFileInfo(doc.absolutePath()).canonicalFilePath(),
              QFileInfo(dir.path()).canonicalFilePath());
    EXPECT_EQ(QFileInfo(catcher.urls[0].toLocalFile()).fileName(), QStringLiteral("mby.htm"));
    EXPECT_EQ(w.Help2->shortcut(), QKeySequence(QKeySequence::HelpContents));
}

TEST(AboutBox, SplashHasNoButtonAndCannotBeClosed) {
    VersionText = QStringLiteral("2.0.5");
    SplashMode = true;
    TAboutForm box;
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Merrowby 2.0.5"));
    EXPECT_FALSE(box.LMDButton1->isVisible());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinMaxButtonsHint);
    box.close();   // the user cannot close a splash
    box.reject();  // nor escape it
    EXPECT_TRUE(box.isVisible());
    box.hide();    // start-up can
    SplashMode = false;
    EXPECT_EQ(box.size(), QSize(370, 298));
    EXPECT_EQ(box.Image1->geometry(), QRect(88, 8, 210, 240));
    EXPECT_EQ(box.LMDButton1->geometry(), QRect(160, 256, 67, 30));

    // The picture is drawn over the gradient: the top of the box is black, the bottom blue,
    // and the title picture (when the artwork is there) shows in between.
    const QImage shot = box.grab().toImage();
    const QColor top = shot.pixelColor(2, 1), bottom = shot.pixelColor(2, shot.height() - 2);
    EXPECT_LT(top.blue(), 10);
    EXPECT_GT(bottom.blue(), 240);
    EXPECT_EQ(bottom.red(), 0);
    if (QFile::exists(QStringLiteral(":/about_title.png"))) {
        // The picture's black background lets the gradient through near its bottom corner...
        const QColor corner = shot.pixelColor(88 + 2, 8 + 236);
        EXPECT_GT(corner.blue(), 150);
        EXPECT_EQ(corner.red(), 0);
        // ...while the picture itself is drawn: some pixel of it is far from the gradient.
        int drawn = 0;
        for (int y = 8; y < 248; y += 2)
            for (int x = 88; x < 298; x += 2)
                if (shot.pixelColor(x, y).red() > 100) ++drawn;
        EXPECT_GT(drawn, 100);
    }
}

// Screens scaled to 200 % take NAME@2x.png in place of NAME.png; a picture without one, or with
// one of the wrong size, shows blurred there.
TEST(Artwork, EveryPictureHasOneTwiceItsSize) {
    int pictures = 0;
    for (QDirIterator it(QStringLiteral(":/"), {QStringLiteral("*.png")}, QDir::Files); it.hasNext();) {
        const QString path = it.next();
        if (path.contains(QStringLiteral("@2x"))) continue;
        ++pictures;
        const QString twice = path.chopped(4) + QStringLiteral("@2x.png");
        const QSize size = QImage(path).size(), doubled = QImage(twice).size();
        EXPECT_EQ(doubled, size * 2) << twice.toStdString();
    }
    EXPECT_GT(pictures, 10);
}

TEST(AboutBox, AboutMenuShowsTheDialogWithItsOkButton) {
    QApplication::setQuitOnLastWindowClosed(false);
    VersionText = QStringLiteral("3.1.4");
    TQuenlow w;
    bool okVisible = false;
    QString caption;
    QTimer::singleShot(0, &w, [&] {
        auto* box = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        okVisible = box->LMDButton1->isVisible();
        box->LMDButton1->click();
    });
    w.AboutBrantix1->trigger();  // returns when OK closed the box
    EXPECT_TRUE(okVisible);
    EXPECT_EQ(caption, QStringLiteral("About Merrowby 3.1.4"));
    EXPECT_FALSE(SplashMode);
}

// Runs last in this file's order: the windows of the program exist once, for the whole run.
TEST(ZForms, CreatedOnceInOrder) {
    QApplication::setQuitOnLastWindowClosed(false);
    CreateForms();
    ASSERT_NE(Quenlow, nullptr);
    QObject* const all[] = {AboutForm, LabelDef, PickLab, LabPrint, Import,
                            DateSpan,  LabSel,   DriveDir, REReport};
    for (QObject* o : all) {
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->parent(), Quenlow);
    }
    // Creation order is the order of the main window's children.
    QList<QObject*> order;
    for (QObject* c : Quenlow->children())
        for (QObject* o : all)
            if (c == o) order << c;
    EXPECT_EQ(order, QList<QObject*>(std::begin(all), std::end(all)));

    TQuenlow* main = Quenlow;
    TAboutForm* about = AboutForm;
    CreateForms();
    EXPECT_EQ(Quenlow, main);
    EXPECT_EQ(AboutForm, about);
}

// Every dialog comes up in the middle of the screen each time it opens, wherever it was left.
TEST(ZForms, DialogsAreCentredEveryTimeTheyOpen) {
    QApplication::setQuitOnLastWindowClosed(false);
    TestDataDir data(3);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    MessageLog messages;
    CreateForms();
    ASSERT_TRUE(OpenLabels());  // the stock dialogs are shown with the stocks open
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QDialog* const dialogs[] = {PickLab, LabPrint, Import, DateSpan, LabSel, LabelDef, DriveDir};
    for (QDialog* d : dialogs) {
        SCOPED_TRACE(d->metaObject()->className());
        for (int showing = 0; showing < 2; ++showing) {
            d->move(10 + 40 * showing, 10);
            d->show();
            QApplication::processEvents();
            EXPECT_LE((d->geometry().center() - centre).manhattanLength(), 2);
            d->hide();
        }
    }
    (void)CloseTable(LabelsTable);
}

// Escape leaves every dialog that has a way out, as its cancel does. (The date span dialog is
// designed without a cancel key.)
TEST(ZForms, EscapeClosesEveryDialogWithAWayOut) {
    QApplication::setQuitOnLastWindowClosed(false);
    TestDataDir data(3);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    MessageLog messages;
    CreateForms();
    ASSERT_TRUE(OpenLabels());
    ASSERT_TRUE(OpenImportLayout());
    ASSERT_TRUE(OpenAddrBook());
    LabSel->FillGrid();
    QDialog* const dialogs[] = {PickLab, LabPrint, Import, LabSel, LabelDef, DriveDir};
    for (QDialog* d : dialogs) {
        SCOPED_TRACE(d->metaObject()->className());
        d->show();
        QApplication::processEvents();
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : d;
        QTest::keyClick(focus, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->result(), QDialog::Rejected);
        d->hide();
    }
    (void)CloseTable(AddrBookTable);
    (void)CloseTable(ImportTable);
    (void)CloseTable(LabelsTable);
}

// Boxes show the kind of icon their kind of message calls for, and are wide enough for the
// window's title bar to show their title beside its icon and buttons, however short the message.
TEST(MessageBoxes, EachKindHasItsIconAndRoomForItsTitle) {
    const struct {
        const char* what;
        std::function<void()> show;
        QMessageBox::Icon icon;
    } cases[] = {
        {"info", [] { MessageBoxes().info("i"); }, QMessageBox::Information},
        {"plain", [] { MessageBoxes().plain("p"); }, QMessageBox::NoIcon},
        {"ok/cancel", [] { (void)MessageBoxes().okCancel("o"); }, QMessageBox::Information},
        {"error", [] { MessageBoxes().error("e"); }, QMessageBox::Critical},
        {"yes/no", [] { (void)MessageBoxes().yesNo("y", Prompts::Default::Yes); }, QMessageBox::Question},
        {"fatal", [] { MessageBoxes().fatal("f"); }, QMessageBox::Information},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QMessageBox::Icon seen = QMessageBox::Warning;
        int width = 0, titleNeeds = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = box->icon();
            width = box->width();
            QFont bold = box->font();
            bold.setBold(true);
            // The title, the window's icon and three buttons of about 20 pixels each.
            titleNeeds = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 4 * 20;
            box->accept();
        });
        c.show();
        EXPECT_EQ(seen, c.icon);
        EXPECT_GE(width, titleNeeds);
    }
}

}  // namespace

#include "test_mainwindow.moc"
