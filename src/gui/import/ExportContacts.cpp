#include "gui/import/ExportContacts.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/common/DatePicker.h"
#include "gui/common/Installed.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/Placement.h"
#include "gui/common/RunProgress.h"
#include "gui/import/ExportTarget.h"
#include "gui/import/FileQuestion.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"

namespace {

QString withSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty()) return name;
    const QFileInfo fi(name);
    const QString ext = fi.suffix().toLower();
    if (ext == QLatin1String("vcf") || ext == QLatin1String("csv"))
        return name.left(name.size() - ext.size()) + suffix;
    return name;
}

}  // namespace

TExportContacts::TExportContacts(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ExportContacts"));
    setWindowTitle(QStringLiteral("Export Contacts"));
    setModal(true);

    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Which = new QComboBox(this);
    Which->setObjectName(QStringLiteral("Which"));
    Which->addItem(QStringLiteral("The whole book"));
    for (const char* title : ReminderTitles) Which->addItem(QString::fromLatin1(title));
    form->addRow(QStringLiteral("&Contacts:"), Which);

    auto* span = new QHBoxLayout;
    SpanFrom = new DatePicker(this);
    SpanFrom->setObjectName(QStringLiteral("SpanFrom"));
    SpanTo = new DatePicker(this);
    SpanTo->setObjectName(QStringLiteral("SpanTo"));
    SetDefaultSpan();
    for (QDateEdit* d : {SpanFrom, SpanTo}) {
        d->setDisplayFormat(ShortDateFormat());
        d->setCalendarPopup(true);
    }
    SpanFrom->setDate(SpanStart);
    SpanTo->setDate(SpanEnd);
    span->addWidget(SpanFrom);
    span->addWidget(new QLabel(QStringLiteral("to"), this));
    span->addWidget(SpanTo);
    span->addStretch(1);
    auto* spanLabel = new QLabel(QStringLiteral("&Dates from:"), this);
    spanLabel->setBuddy(SpanFrom);
    form->addRow(spanLabel, span);

    auto* formats = new QHBoxLayout;
    AsVCard = new QRadioButton(QStringLiteral("&vCard 4.0"), this);
    AsVCard->setObjectName(QStringLiteral("AsVCard"));
    AsCsv = new QRadioButton(QStringLiteral("CSV with a &header row"), this);
    AsCsv->setObjectName(QStringLiteral("AsCsv"));
    AsVCard->setChecked(true);
    formats->addWidget(AsVCard);
    formats->addWidget(AsCsv);
    formats->addStretch(1);
    form->addRow(QStringLiteral("Format:"), formats);

    const ExportTarget target = AddExportTarget(this, top, form, QStringLiteral("contacts.vcf"),
                                                QString::fromUtf8("&Browse\u2026"), QStringLiteral("&Export"));
    FileName = target.fileName;
    BtnBrowse = target.browse;
    BtnExport = target.exportButton;
    BtnCancel = target.cancel;
    connect(BtnExport, &QPushButton::clicked, this, &TExportContacts::BtnExportClick);
    connect(BtnBrowse, &QPushButton::clicked, this, &TExportContacts::BtnBrowseClick);
    connect(AsVCard, &QRadioButton::toggled, this, [this] { formatChanged(); });
    connect(Which, &QComboBox::currentIndexChanged, this, [this] { whichChanged(); });
    whichChanged();
}

void TExportContacts::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    Which->setFocus();
}

void TExportContacts::formatChanged() {
    FileName->setText(withSuffix(FileName->text(), AsVCard->isChecked() ? QStringLiteral("vcf") : QStringLiteral("csv")));
}

void TExportContacts::whichChanged() {
    const bool dated = Which->currentIndex() == OccasionDated;
    SpanFrom->setEnabled(dated);
    SpanTo->setEnabled(dated);
}

ExportOptions TExportContacts::options() const {
    ExportOptions o;
    o.format = AsVCard->isChecked() ? ExportFormat::VCard : ExportFormat::Csv;
    o.occasion = Which->currentIndex();
    o.spanStart = SpanFrom->date();
    o.spanEnd = SpanTo->date();
    return o;
}

QString TExportContacts::path() const { return FileName->text().trimmed(); }

void TExportContacts::BtnBrowseClick() {
    const QString name = Installed<FileQuestion>::get().exportFile(
        this, path(), QStringLiteral("vCard files (*.vcf);;CSV files (*.csv);;All files (*)"));
    if (!name.isEmpty()) FileName->setText(name);
}

void TExportContacts::BtnExportClick() {
    ExportOptions o = options();
    const QString file = path();
    if (o.occasion == OccasionDated && o.spanEnd < o.spanStart) {
        UserPrompts(this).plain(QString::fromLatin1(kSpanOrderMessage));
        SpanTo->setFocus();
        return;
    }
    if (!ExportTargetAccepted(file, FileName, this)) return;

    RunProgress progress(QStringLiteral("Exporting Contacts"), QStringLiteral("Reading the address book"), this);
    o.progress = [&progress](int done) { return progress.update(done); };
    const ExportOutcome out = ExportContacts(file, o);
    progress.finish();
    if (out.cancelled) {
        UserPrompts(this).info(QStringLiteral("Export cancelled. No file was written."));
        return;
    }
    if (out.status.failed()) {
        UserPrompts(this).error(out.status.reason);
        return;
    }
    UserPrompts(this).info(QStringLiteral("%1 contacts written to %2").arg(out.written).arg(QDir::toNativeSeparators(file)));
    accept();
}

void ExportContacts1Click(QWidget* parent) {
    TExportContacts dlg(parent);
    dlg.exec();
}
