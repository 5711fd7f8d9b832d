#include "gui/reminders/REReport.h"

#include <QAction>
#include <QMenuBar>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "gui/common/Installed.h"
#include "gui/common/Fatal.h"
#include "gui/common/MessageBoxes.h"
#include "core/print/Printer.h"
#include "printing/QtPrinter.h"

std::unique_ptr<Printer> ReportPrinterSource::makePrinter() { return std::make_unique<QtPrinter>(&UserPrompts()); }

bool PrintReport(QTextDocument& doc, Printer& printer) {
    return printer.printDocument(doc, QString::fromLatin1(kReportJobTitle));
}

TREReport::TREReport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("REReport"));
    setWindowTitle(QStringLiteral("REReport"));
    setModal(true);
    setSizeGripEnabled(true);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    // A command on the bar itself, not a drop-down.
    File1 = MainMenu1->addAction(QStringLiteral("&Print"));
    File1->setObjectName(QStringLiteral("File1"));
    layout->setMenuBar(MainMenu1);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(false);
    RichEdit1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // 12 point: 16 pixels on a 96-dpi screen, and the same size on paper whatever the printer's
    // resolution (a pixel size would shrink on a fine printer).
    QFont face(QStringLiteral("MS Sans Serif"), 12);
    face.setStyleHint(QFont::SansSerif);
    RichEdit1->document()->setDefaultFont(face);
    RichEdit1->setFont(face);
    layout->addWidget(RichEdit1);

    connect(File1, &QAction::triggered, this, [this] { File1Click(); });
}

QTextDocument* TREReport::document() const { return RichEdit1->document(); }

void TREReport::ShowModal() {
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
}

void TREReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TREReport::FormShow() {
    // The layout keeps the view filling the client area; show the report from its first line.
    RichEdit1->moveCursor(QTextCursor::Start);
    RichEdit1->ensureCursorVisible();
    RichEdit1->setFocus();
}

bool TREReport::File1Click() {
    std::unique_ptr<Printer> printer = Installed<ReportPrinterSource>::get().makePrinter();
    if (!printer || !PrintReport(*RichEdit1->document(), *printer)) {
        UserPrompts(this).info(QStringLiteral("The report could not be printed: no printer is available."));
        return false;
    }
    return true;
}
