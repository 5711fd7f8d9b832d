#include "gui/shell/Quenlow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include "gui/shell/AboutForm.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Forms.h"
#include "gui/common/MessageBoxes.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/addressbook/AddressPage.h"
#include "gui/occasions/OccasionsPage.h"
#include "gui/reminders/ComingUpRun.h"
#include "gui/setup/SetupPage.h"
#include "xbase/Library.h"


namespace {

constexpr int kTabHeight = 34;
constexpr int kTabIcon = 32;
// The page control: tabs 34 pixels high around pages of about 737 x 437.
constexpr int kPageControlWidth = 745;
constexpr int kPageControlHeight = 477;
const QColor kLightGreen(0xC0, 0xDC, 0xC0);

class PageTabBar : public QTabBar {
public:
    explicit PageTabBar(QWidget* parent) : QTabBar(parent) {
        setFont(BoldWeight());  // the captions take the window's face when start-up changes it
        setIconSize(QSize(kTabIcon, kTabIcon));
        setDrawBase(true);
    }

protected:
    QSize tabSizeHint(int index) const override {
        QSize s = QTabBar::tabSizeHint(index);
        s.setHeight(kTabHeight);
        return s;
    }
    QSize minimumTabSizeHint(int index) const override {
        QSize s = QTabBar::minimumTabSizeHint(index);
        s.setHeight(kTabHeight);
        return s;
    }
};

class PageControl : public QTabWidget {
public:
    explicit PageControl(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new PageTabBar(this));
        setIconSize(QSize(kTabIcon, kTabIcon));
    }
};

// Calls the page hooks only once the page classes offer them.
template <class Page>
void callShow(Page* p) {
    if constexpr (requires { p->TabSheet2Show(); }) p->TabSheet2Show();
}
template <class Page>
void callHide(Page* p) {
    if constexpr (requires { p->TabSheet2Hide(); }) p->TabSheet2Hide();
}

}  // namespace

TQuenlow::TQuenlow(QWidget* parent) : QMainWindow(parent) {
    LoadResources();
    if (!Quenlow) Quenlow = this;
    setObjectName(QStringLiteral("Quenlow"));
    setWindowTitle(QStringLiteral("Merrowby"));
    setWindowIcon(QIcon(QStringLiteral(":/merrowby.png")));
    resize(800, 600);
    setFont(QFont(QString::fromLatin1(kDesignFontFamily), kDesignFontPoints));

    FillBackground(this, kLightGreen);

    // Menus.
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    Exit1 = file->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit1->setShortcut(QKeySequence::Quit);
    connect(Exit1, &QAction::triggered, this, &TQuenlow::Exit1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    AboutBrantix1 = help->addAction(QStringLiteral("About Brantix"));
    AboutBrantix1->setObjectName(QStringLiteral("AboutBrantix1"));
    connect(AboutBrantix1, &QAction::triggered, this, &TQuenlow::AboutBrantix1Click);
    Help2 = help->addAction(QStringLiteral("Help"));
    Help2->setObjectName(QStringLiteral("Help2"));
    Help2->setShortcut(QKeySequence::HelpContents);
    connect(Help2, &QAction::triggered, this, &TQuenlow::Help2Click);
    ComingUp1 = help->addAction(QString::fromUtf8("Coming Up\u2026"));
    ComingUp1->setObjectName(QStringLiteral("ComingUp1"));
    connect(ComingUp1, &QAction::triggered, this, &TQuenlow::ComingUp1Click);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    // At the right, where the page's own messages do not cover it.
    ComingUpLine = new QLabel(this);
    ComingUpLine->setObjectName(QStringLiteral("ComingUpLine"));
    ComingUpLine->setTextFormat(Qt::RichText);
    ComingUpLine->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    ComingUpLine->setToolTip(QStringLiteral("Show what is coming up"));
    ComingUpLine->setContentsMargins(0, 0, 8, 0);
    ComingUpLine->hide();
    statusBar()->addPermanentWidget(ComingUpLine);
    connect(ComingUpLine, &QLabel::linkActivated, this, &TQuenlow::ComingUp1Click);

    // Page control, centred on the light green client area.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    auto* layout = new QHBoxLayout(client);
    PageControl1 = new PageControl(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setFixedSize(kPageControlWidth, kPageControlHeight);
    layout->addWidget(PageControl1, 0, Qt::AlignCenter);
    setCentralWidget(client);

    TabSheet2 = new AddressPage(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet1 = new OccasionsPage(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet3 = new SetupPage(PageControl1);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet2, QIcon(QStringLiteral(":/tab_address.png")),
                         QStringLiteral("Address Book"));
    PageControl1->addTab(TabSheet1, QIcon(QStringLiteral(":/tab_labels.png")),
                         QStringLiteral("Labels && Reminders"));
    PageControl1->addTab(TabSheet3, QIcon(QStringLiteral(":/tab_setup.png")),
                         QStringLiteral("Setup && Maintenance"));
    PageControl1->setCurrentIndex(0);
    connect(TabSheet2, &AddressPage::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(PageControl1, &QTabWidget::currentChanged, this, &TQuenlow::PageControl1Change);
}

TQuenlow::~TQuenlow() {
    if (startedUp_) FormClose();
    if (Quenlow == this) Quenlow = nullptr;
}

void TQuenlow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!formShowRun_) FormShow();
}

void TQuenlow::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TQuenlow::PageControl1Change(int index) {
    if (!startedUp_ || closed_) return;
    if (index == 0)
        showAddressPage();
    else
        hideAddressPage();
}

void TQuenlow::showAddressPage() {
    if (addressShown_) return;
    addressShown_ = true;
    callShow(TabSheet2);
}

void TQuenlow::hideAddressPage() {
    if (!addressShown_) return;
    addressShown_ = false;
    // Leaving a control saves the record: let that happen while the page's table is open.
    QWidget* focus = QApplication::focusWidget();
    if (focus && TabSheet2->isAncestorOf(focus)) PageControl1->tabBar()->setFocus();
    callHide(TabSheet2);
}

void TQuenlow::FormClose() {
    if (closed_) return;
    closed_ = true;
    hideAddressPage();
    if (!LibHandle) return;
    if (LibHandle->exitTest()) {
        // An earlier change may not have reached the disk: say so instead of ending silently.
        UserPrompts(this).info(QString::fromStdString(LibHandle->lastError().toString()));
    }
    // Closing writes what is still pending: a failure must not pass in silence.
    const DataStatus closed = CloseAllTables();
    if (!closed)
        UserPrompts(this).error(QStringLiteral("Unable to write ") + closed.file + QStringLiteral("\r\n") +
                                closed.detail + QStringLiteral("\r\nThe last change may not have been saved."));
    delete LibHandle;
    LibHandle = nullptr;
}

void TQuenlow::Exit1Click() { close(); }

void TQuenlow::AboutBrantix1Click() {
    SplashMode = false;
    if (AboutForm) {
        AboutForm->exec();
        return;
    }
    TAboutForm box(this);
    box.exec();
}

QString HelpDocumentPath() { return QDir::current().absoluteFilePath(QStringLiteral("mby.htm")); }

void TQuenlow::ComingUp1Click() {
    ComingUpRun();
    ShowComingUp();
}

void TQuenlow::ShowComingUp() {
    QString problem;
    const QString summary = ComingSummary(ReadComingUp(QDate::currentDate(), kComingDaysDefault, &problem), kComingDaysDefault);
    // A book that cannot be read shows nothing here; the report says why when it is asked for.
    ComingUpLine->setText(QStringLiteral("<a href=\"coming-up\">%1</a>").arg(summary.toHtmlEscaped()));
    ComingUpLine->setVisible(!summary.isEmpty());
}

void TQuenlow::Help2Click() {
    // The viewer's own result is of no interest: a missing document shows nothing of ours.
    QDesktopServices::openUrl(QUrl::fromLocalFile(HelpDocumentPath()));
}
