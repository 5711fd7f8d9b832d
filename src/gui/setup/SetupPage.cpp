#include "gui/setup/SetupPage.h"

#include "gui/common/Fatal.h"
#include "gui/common/Fitting.h"
#include <QEvent>
#include <QIcon>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "gui/common/Forms.h"
#include "gui/backup/BackupButtons.h"
#include "core/data/DataFiles.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "gui/import/ExportCalendar.h"
#include "gui/import/ExportContacts.h"
#include "gui/import/Import.h"
#include "gui/labels/Calibrate.h"
#include "gui/labels/StockSetup.h"
#include "gui/setup/LabelFontPref.h"

namespace {

constexpr int kGradientSteps = 128;

QPushButton* glyphButton(const QString& caption, const QString& glyph, const QRect& at,
                         QWidget* parent) {
    auto* b = new QPushButton(QIcon(glyph), caption, parent);
    b->setIconSize(QSize(24, 24));
    b->setGeometry(at);
    return b;
}

}  // namespace

void ImportAddresses1Click() {
    EndUnlessOpened(OpenImportLayout());
    if (Import) Import->exec();
    WriteSucceeded(CloseTable(ImportTable));
}

SetupPage::SetupPage(QWidget* parent) : QWidget(parent) {
    setMinimumSize(737, 437);
    LMDButton1 = glyphButton(QStringLiteral("&Backup"), QStringLiteral(":/backup.png"),
                             QRect(64, 72, 161, 41), this);
    LMDButton2 = glyphButton(QStringLiteral("&Restore"), QStringLiteral(":/restore.png"),
                             QRect(64, 184, 161, 41), this);
    LMDButton3 = glyphButton(QStringLiteral("Rei&ndex"), QStringLiteral(":/reindex.png"),
                             QRect(64, 304, 161, 41), this);
    LMDButton4 = glyphButton(QStringLiteral("&Import Contacts"), QStringLiteral(":/import.png"),
                             QRect(288, 176, 161, 57), this);
    LMDButton5 = glyphButton(QStringLiteral("&Edit Label Definition"), QStringLiteral(":/label_def.png"),
                             QRect(504, 256, 161, 49), this);
    LMDButton6 = glyphButton(QStringLiteral("&Choose Label Font"), QStringLiteral(":/font.png"),
                             QRect(504, 104, 161, 49), this);
    const char* names[] = {"LMDButton1", "LMDButton2", "LMDButton3",
                           "LMDButton4", "LMDButton5", "LMDButton6"};
    QPushButton* buttons[] = {LMDButton1, LMDButton2, LMDButton3, LMDButton4, LMDButton5, LMDButton6};
    for (int i = 0; i < 6; ++i) buttons[i]->setObjectName(QString::fromLatin1(names[i]));
    BtnExport = glyphButton(QString::fromUtf8("E&xport Contacts\u2026"), QStringLiteral(":/export.png"),
                            QRect(288, 264, 161, 57), this);
    BtnExport->setObjectName(QStringLiteral("BtnExport"));
    BtnCalibrate = glyphButton(QString::fromUtf8("Calibrate &Printer\u2026"), QStringLiteral(":/print.png"),
                               QRect(504, 352, 161, 49), this);
    BtnCalibrate->setObjectName(QStringLiteral("BtnCalibrate"));
    BtnCalendar = glyphButton(QString::fromUtf8("Export Ca&lendar\u2026"), QStringLiteral(":/export_calendar.png"),
                              QRect(288, 352, 161, 49), this);
    BtnCalendar->setObjectName(QStringLiteral("BtnCalendar"));

    // Three columns, at x = 64, 288 and 504; a button may grow to 8 pixels short of the next.
    for (QPushButton* b : {LMDButton1, LMDButton2, LMDButton3, LMDButton4, LMDButton5, LMDButton6, BtnExport, BtnCalibrate, BtnCalendar}) {
        const int next = b->x() < 288 ? 288 : b->x() < 504 ? 504 : 737;
        fitted_.push_back({b, b->text(), next - 8 - b->x()});
    }
    fitButtons();

    connect(LMDButton1, &QPushButton::clicked, this, &SetupPage::BackupData1Click);
    connect(LMDButton2, &QPushButton::clicked, this, &SetupPage::RestoreData1Click);
    connect(LMDButton3, &QPushButton::clicked, this, &SetupPage::ReindexData1Click);
    connect(LMDButton4, &QPushButton::clicked, this, &SetupPage::ImportAddresses1Click);
    connect(LMDButton5, &QPushButton::clicked, this, &SetupPage::LabelStock1Click);
    connect(LMDButton6, &QPushButton::clicked, this, &SetupPage::Preferences1Click);
    connect(BtnExport, &QPushButton::clicked, this, &SetupPage::ExportContacts1Click);
    connect(BtnCalibrate, &QPushButton::clicked, this, [] { CalibratePrinter1Click(); });
    connect(BtnCalendar, &QPushButton::clicked, this, &SetupPage::ExportCalendar1Click);
}

void SetupPage::paintEvent(QPaintEvent*) {
    // Concentric ellipses from the blue rim to the black centre, in 128 steps.
    QPainter p(this);
    p.setPen(Qt::NoPen);
    const QRectF r = rect();
    for (int i = 0; i < kGradientSteps; ++i) {
        const double shrink = static_cast<double>(i) / kGradientSteps;
        const int blue = 255 - i * 255 / (kGradientSteps - 1);
        p.setBrush(QColor(0, 0, blue));
        if (i == 0) {
            p.drawRect(r);
            continue;
        }
        // The first ellipse circumscribes the page so the corners stay blue.
        const double w = r.width() * 1.4142 * (1.0 - shrink), h = r.height() * 1.4142 * (1.0 - shrink);
        p.drawEllipse(QRectF(r.center().x() - w / 2, r.center().y() - h / 2, w, h));
    }
}

void SetupPage::changeEvent(QEvent* event) {
    // The main window takes its face from the label font at start-up; the captions follow.
    if (event->type() == QEvent::FontChange) fitButtons();
    QWidget::changeEvent(event);
}

void SetupPage::fitButtons() {
    // The buttons of a column stay alike: each as wide as the widest caption of its column needs.
    for (const Fitted& f : fitted_) {
        int width = 161;
        for (const Fitted& g : fitted_) {
            if (g.button->x() != f.button->x()) continue;
            g.button->setText(g.text);
            width = std::clamp(g.button->sizeHint().width(), width, f.room);
        }
        FitButtonText(f.button, f.text, width, width);
    }
}

void SetupPage::BackupData1Click() { ::BackupData1Click(); }
void SetupPage::RestoreData1Click() { ::RestoreData1Click(); }
void SetupPage::ReindexData1Click() { EndUnlessOk(RebuildIndexes(false)); }
void SetupPage::ImportAddresses1Click() { ::ImportAddresses1Click(); }
void SetupPage::LabelStock1Click() { ::LabelStock1Click(); }
void SetupPage::Preferences1Click() { ::Preferences1Click(window()); }
void SetupPage::ExportContacts1Click() { ::ExportContacts1Click(window()); }
void SetupPage::ExportCalendar1Click() { ::ExportCalendar1Click(window()); }
