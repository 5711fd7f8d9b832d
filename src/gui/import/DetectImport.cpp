#include "gui/import/DetectImport.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "gui/common/MessageBoxes.h"
#include "gui/common/Placement.h"
#include "gui/common/RunProgress.h"
#include "core/data/Records.h"

namespace {

constexpr int kPreviewRows = 5;

struct PreviewColumn {
    const char* title;
    QString TAddressRecord::*field;
};
const PreviewColumn kPreviewColumns[] = {
    {"Last Name", &TAddressRecord::Last},  {"First Name", &TAddressRecord::First},
    {"Street", &TAddressRecord::Street},   {"Street2", &TAddressRecord::Street2},
    {"City", &TAddressRecord::City},       {"State", &TAddressRecord::State},
    {"Postal Code", &TAddressRecord::Zip}, {"Country", &TAddressRecord::Country},
    {"EMail", &TAddressRecord::email},     {"Phone", &TAddressRecord::phone},
    {"Fax", &TAddressRecord::fax},         {"Mobile", &TAddressRecord::mobile},
};

QString datesOf(const TAddressRecord& r) {
    QStringList parts;
    const auto add = [&](bool flag, const QDate& d, const char* what) {
        if (flag && d.isValid() && d != ZeroDate) parts << QString::fromLatin1(what) + QLatin1Char(' ') + ShortDateText(d);
    };
    add(r.Birthday, r.Birthdate, "Birthday");
    add(r.Annav, r.Annavdate, "Anniversary");
    add(r.Other1, r.Other1Date, "Other");
    add(r.Other2, r.Other2Date, "Other");
    return parts.join(QStringLiteral(", "));
}

}  // namespace

TDetectImport::TDetectImport(const QString& path, const ContactParse& parsed, int duplicates, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DetectImport"));
    setWindowTitle(QStringLiteral("Detected Contacts"));
    setModal(true);
    resize(720, 460);

    auto* top = new QVBoxLayout(this);
    Found = new QLabel(this);
    Found->setObjectName(QStringLiteral("Found"));
    Found->setWordWrap(true);
    Found->setText(QStringLiteral("%1\nFormat: %2    Encoding: %3    Contacts: %4")
                       .arg(QFileInfo(path).fileName(), ContactFormatName(parsed.format),
                            ContactEncodingName(parsed.encoding))
                       .arg(parsed.count));
    top->addWidget(Found);

    if (!parsed.mapping.isEmpty()) {
        top->addWidget(new QLabel(QStringLiteral("Columns used (header on line %1):").arg(parsed.headerLine), this));
        Mapping = new QPlainTextEdit(this);
        Mapping->setObjectName(QStringLiteral("Mapping"));
        Mapping->setReadOnly(true);
        Mapping->setPlainText(parsed.mapping.join(QLatin1Char('\n')));
        Mapping->setMaximumHeight(110);
        top->addWidget(Mapping);
    }

    top->addWidget(new QLabel(QStringLiteral("The first contacts, as they will be stored:"), this));
    const int columns = int(std::size(kPreviewColumns)) + 1;
    const int rows = std::min<int>(kPreviewRows, int(parsed.contacts.size()));
    Preview = new QTableWidget(rows, columns, this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Preview->verticalHeader()->hide();
    QStringList titles;
    for (const PreviewColumn& c : kPreviewColumns) titles << QString::fromLatin1(c.title);
    titles << QStringLiteral("Dates");
    Preview->setHorizontalHeaderLabels(titles);
    for (int r = 0; r < rows; ++r) {
        TAddressRecord rec = parsed.contacts[size_t(r)];
        FitToAddrBook(rec);
        const bool usable = HasUsableLastName(rec);
        for (int c = 0; c < columns - 1; ++c)
            Preview->setItem(r, c, new QTableWidgetItem(rec.*kPreviewColumns[c].field));
        Preview->setItem(r, columns - 1, new QTableWidgetItem(datesOf(rec)));
        if (!usable)
            for (int c = 0; c < columns; ++c) {
                QTableWidgetItem* item = Preview->item(r, c);
                item->setForeground(Qt::gray);
                item->setToolTip(QStringLiteral("Skipped: no last name of two or more characters"));
            }
    }
    Preview->resizeColumnsToContents();
    top->addWidget(Preview, 1);

    auto* dupBox = new QGroupBox(QStringLiteral("Contacts already in the book"), this);
    auto* dupLayout = new QVBoxLayout(dupBox);
    Duplicates = new QLabel(dupBox);
    Duplicates->setObjectName(QStringLiteral("Duplicates"));
    Duplicates->setWordWrap(true);
    if (duplicates < 0)
        Duplicates->setText(QStringLiteral("The address book could not be read to look for duplicates."));
    else
        Duplicates->setText(QStringLiteral("%1 of these contacts have the last name, first name and street "
                                           "of a name already in the book.").arg(duplicates));
    dupLayout->addWidget(Duplicates);
    auto* choice = new QHBoxLayout;
    SkipDuplicates = new QRadioButton(QStringLiteral("&Skip them"), dupBox);
    SkipDuplicates->setObjectName(QStringLiteral("SkipDuplicates"));
    AddDuplicates = new QRadioButton(QStringLiteral("&Add them as well"), dupBox);
    AddDuplicates->setObjectName(QStringLiteral("AddDuplicates"));
    SkipDuplicates->setChecked(true);
    choice->addWidget(SkipDuplicates);
    choice->addWidget(AddDuplicates);
    choice->addStretch(1);
    dupLayout->addLayout(choice);
    top->addWidget(dupBox);

    auto* buttons = new QDialogButtonBox(this);
    BtnImport = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    BtnImport->setObjectName(QStringLiteral("BtnImport"));
    BtnImport->setIcon(QIcon(QStringLiteral(":/ok.png")));
    BtnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setIcon(QIcon(QStringLiteral(":/cancel.png")));
    BtnImport->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void TDetectImport::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    BtnImport->setFocus();
}

DuplicatePolicy TDetectImport::duplicatePolicy() const {
    return AddDuplicates->isChecked() ? DuplicatePolicy::Add : DuplicatePolicy::Skip;
}

namespace {

int megabytes(qint64 bytes) { return int((bytes + (1 << 20) - 1) >> 20); }

}  // namespace

DetectedImportOutcome DetectAndImport(const QString& path, QWidget* parent,
                                      const std::function<void(const QString&)>& status) {
    if (path.trimmed().isEmpty() || !QFileInfo(path).isFile()) {
        UserPrompts(parent).info(QStringLiteral("Choose the file to import first (Import File)."));
        return {};
    }
    ContactPreview found;
    if (status) status(QStringLiteral("Reading ") + path);
    {
        RunProgress reading(QStringLiteral("Reading Contacts"), QStringLiteral("Reading the file, megabytes"), parent);
        found = PreviewContactsFile(path, kPreviewRows, [&reading](qint64 done, qint64 total) {
            return reading.update(megabytes(done), megabytes(total));
        });
        reading.finish();
    }
    if (status) status(QString());
    if (found.parsed.stopped) return {};
    if (found.parsed.status.failed()) {
        UserPrompts(parent).info(found.parsed.status.reason + QStringLiteral("\r\nNothing was imported."));
        return {};
    }
    TDetectImport preview(path, found.parsed, found.duplicates, parent);
    if (preview.exec() != QDialog::Accepted) return {};

    // The file is read through once more before anything is stored, then stored.
    RunProgress checking(QStringLiteral("Importing Contacts"), QStringLiteral("Checking the file, megabytes"), parent);
    std::unique_ptr<RunProgress> storing;
    DetectedImportOptions options;
    options.duplicates = preview.duplicatePolicy();
    options.reading = [&checking](qint64 done, qint64 total) {
        return checking.update(megabytes(done), megabytes(total));
    };
    options.progress = [&](int done, int total) {
        if (!storing) {
            checking.finish();
            storing = std::make_unique<RunProgress>(QStringLiteral("Importing Contacts"),
                                                    QStringLiteral("Importing contacts"), parent);
        }
        return storing->update(done, total);
    };
    const DetectedImportOutcome out = RunDetectedImport(path, options);
    checking.finish();
    if (storing) storing->finish();

    if (out.status.failed()) UserPrompts(parent).error(out.status.reason);
    if (out.bookOpened) {
        QString text = DetectedImportSummary(out);
        if (!out.duplicateNames.isEmpty())
            text += QStringLiteral("\r\n\r\nAlready in the book: ") + out.duplicateNames.mid(0, 10).join(QStringLiteral(", ")) +
                    (out.duplicatesSkipped + out.duplicatesAdded > 10 ? QStringLiteral(", ...") : QString());
        UserPrompts(parent).plain(text);
    }
    return out;
}
