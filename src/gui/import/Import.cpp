#include "gui/import/Import.h"
#include "gui/common/DialogLook.h"
#include "gui/common/BusyCursor.h"
#include "gui/common/Placement.h"

#include <QShowEvent>
#include <QDir>
#include <QEvent>
#include "gui/common/Installed.h"
#include "gui/import/FileQuestion.h"
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>

#include "gui/common/Fatal.h"
#include "gui/common/MessageBoxes.h"
#include "gui/common/TextFit.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "gui/import/DetectImport.h"
#include "core/import/ImportRun.h"
#include "xbase/Cp1252.h"
#include "xbase/Table.h"

namespace {

const char* const kRowLabels[12] = {"First Name", "Last Name", "Street",  "Street2",
                                    "City",       "State",     "Postal Code", "Country",
                                    "EMail",      "Phone",     "Fax",     "Mobile"};

int32_t* positionOf(TImportRecord& r, int n) {
    int32_t* p[12] = {&r.fFirst, &r.fLast,    &r.fStreet, &r.fStreet2, &r.fCity, &r.fState,
                      &r.fZip,   &r.fCountry, &r.fEmail,  &r.fPhone,   &r.fFax,  &r.fMobile};
    return p[n - 1];
}

}  // namespace

TImport::TImport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Import"));
    setWindowTitle(QStringLiteral("Import Format"));
    setModal(true);
    setFixedSize(417, 377);
    FillBackground(this, DialogGrey());

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 401, 265);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    FillBackground(Panel1, DialogCream());

    auto* heading = new QLabel(QStringLiteral("Layout of CSV file to be imported"), Panel1);
    QFont hf = heading->font();
    hf.setPointSize(10);
    hf.setBold(true);
    heading->setFont(hf);
    QPalette hp = heading->palette();
    hp.setColor(QPalette::WindowText, Qt::blue);
    heading->setPalette(hp);
    heading->setAlignment(Qt::AlignCenter);
    heading->setGeometry(0, 8, 401, 20);

    const QFont bold = BoldFont(this);
    QFont underlined = bold;
    underlined.setUnderline(true);
    for (int col = 0; col < 2; ++col) {
        auto* fieldHead = new QLabel(QStringLiteral("Field #"), Panel1);
        fieldHead->setFont(underlined);
        fieldHead->setGeometry(col == 0 ? 110 : 310, 36, 50, 18);
    }
    for (int i = 0; i < 12; ++i) {
        const int col = i / 6, row = i % 6;
        const int editX = col == 0 ? 116 : 316;
        const int y = 60 + row * 32;
        auto* label = new QLabel(QString::fromLatin1(kRowLabels[i]), Panel1);
        label->setFont(bold);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(editX - 112, y, 104, 21);
        auto* edit = new QLineEdit(Panel1);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        edit->setMaxLength(2);
        edit->setGeometry(editX, y, 33, 21);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        edits_[i] = edit;
    }

    BtnIFile = new QPushButton(QIcon(QStringLiteral(":/import.png")), QStringLiteral("Import File"), this);
    BtnIFile->setObjectName(QStringLiteral("BtnIFile"));
    BtnIFile->setGeometry(8, 282, 113, 27);
    Edit13 = new QLineEdit(this);
    Edit13->setObjectName(QStringLiteral("Edit13"));
    Edit13->setReadOnly(true);
    Edit13->setGeometry(128, 285, 273, 21);

    BtnImport = new QPushButton(QIcon(QStringLiteral(":/ok.png")), QStringLiteral("Import"), this);
    BtnImport->setObjectName(QStringLiteral("BtnImport"));
    BtnImport->setGeometry(104, 318, 97, 29);
    BtnImport->setAutoDefault(false);
    BtnExit = new QPushButton(QIcon(QStringLiteral(":/cancel.png")), QStringLiteral("Exit"), this);
    BtnExit->setObjectName(QStringLiteral("BtnExit"));
    BtnExit->setGeometry(216, 318, 97, 29);
    BtnExit->setAutoDefault(false);
    BtnIFile->setAutoDefault(false);
    BtnDetect = new QPushButton(QString::fromUtf8("Detect\u2026"), this);
    BtnDetect->setObjectName(QStringLiteral("BtnDetect"));
    BtnDetect->setToolTip(QStringLiteral("Read a vCard file, or a CSV file with a header row, "
                                         "and show what it holds before importing it"));
    BtnDetect->setGeometry(320, 318, 89, 29);
    BtnDetect->setAutoDefault(false);

    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    StatusBar1->setGeometry(0, 357, 417, 20);

    QWidget* order[] = {edits_[0], edits_[1], edits_[2],  edits_[3],  edits_[4], edits_[5],
                        edits_[6], edits_[7], edits_[8],  edits_[9],  edits_[10], edits_[11],
                        Edit13,    BtnImport, BtnExit,    BtnDetect, BtnIFile};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    connect(BtnIFile, &QPushButton::clicked, this, &TImport::BtnIFileClick);
    connect(BtnImport, &QPushButton::clicked, this, &TImport::BtnImportClick);
    connect(BtnExit, &QPushButton::clicked, this, &TImport::BtnExitClick);
    connect(BtnDetect, &QPushButton::clicked, this, &TImport::BtnDetectClick);
}

void TImport::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    FormShow();
}

bool TImport::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut)
        for (int i = 0; i < 12; ++i)
            if (watched == edits_[i]) EditExit(i + 1);
    return QDialog::eventFilter(watched, event);
}

void TImport::FormShow() {
    LoadImportLayout();
    for (int n = 1; n <= 12; ++n) edits_[n - 1]->setText(QString::number(*positionOf(ImportRec, n)));
    Edit13->setText(ImportRec.ImpFile);
    StatusBar1->clear();
    edits_[0]->setFocus();
}

void TImport::EditExit(int n) {
    QLineEdit* e = edits_[n - 1];
    if (!IsInteger(e->text())) e->setText(QStringLiteral("0"));
}

// Characters the layout's file name column holds (its width in the open table, otherwise as a
// new data set makes it).
static int ImportFileNameWidth() {
    if (ImportTable)
        if (xbase::Field* f = ImportTable->field("ImpFile")) return f->length();
    if (const TableSchema* t = FindTable("importf.dbf"))
        for (const xbase::FieldSpec& f : t->fields)
            if (f.name == "ImpFile") return f.length;
    return 0;
}

QString ImportFileNameProblem(const QString& name) {
    const int width = ImportFileNameWidth();
    const QString lost = UnstorableCharacters(name);
    if (!lost.isEmpty())
        return QStringLiteral("The import file name holds characters the import layout cannot "
                              "keep (") + lost + QStringLiteral("):\r\n") + name +
               QStringLiteral("\r\nPlease rename the file or choose another one.");
    if (width > 0 && xbase::cp1252::fromUtf8(name.toStdString()).size() > static_cast<size_t>(width))
        return QStringLiteral("The import file name is longer than the ") + QString::number(width) +
               QStringLiteral(" characters the import layout can keep:\r\n") + name +
               QStringLiteral("\r\nPlease move the file to a shorter path or choose another one.");
    return QString();
}

void TImport::BtnIFileClick() {
    const QString saved = QDir::currentPath();
    const QString previous = Edit13->text().trimmed();
    const QString name = Installed<FileQuestion>::get().importFile(this, previous);
    if (!QDir::setCurrent(saved))
        UserPrompts(this).error(QStringLiteral("Unable to return to the folder ") + saved);
    // A name cut or changed on storing would import once and then name another file or none.
    const QString problem = ImportFileNameProblem(name.trimmed());
    if (!problem.isEmpty()) {
        UserPrompts(this).info(problem);
        Edit13->setText(previous);
        return;
    }
    Edit13->setText(name);
    ImportRec.ImpFile = name;
}

bool TImport::SaveLayout() {
    TImportRecord r = ImportRec;
    for (int n = 1; n <= 12; ++n) {
        const QString text = edits_[n - 1]->text();
        if (!IsInteger(text)) return false;
        *positionOf(r, n) = text.trimmed().toInt();
    }
    r.ImpFile = Edit13->text().trimmed();
    ImportRec = r;
    StoreImportLayout();
    return true;
}

void TImport::setStatus(const QString& text) {
    StatusBar1->setText(text);
    StatusBar1->repaint();
}

void TImport::BtnImportClick() {
    if (!SaveLayout()) {
        UserPrompts(this).plain(QStringLiteral("Unable to import. Error found in Layout Specification"));
        return;
    }
    // Written at once, so the layout survives whatever the run meets; an import whose layout
    // could not be kept does not start.
    if (!WriteSucceeded(FlushTable(ImportTable), this)) return;
    ImportOptions options;
    options.status = [this](const QString& text) { setStatus(text); };
    const ImportOutcome out = [&] {
        BusyCursor busy;
        return RunImport(ImportRec.ImpFile, ImportRec, options);
    }();
    if (!out.fileFound) return;
    EndUnlessOpened(out.opened);
    setStatus(QString());
    if (out.status.failed()) UserPrompts(this).error(out.status.reason);
    if (out.bookOpened) UserPrompts(this).plain(NamesAddedText(out.namesAdded));
}

void TImport::BtnExitClick() { reject(); }

void TImport::BtnDetectClick() {
    // Detect reads a file of its own choosing: the layout's file box, and so what Import would
    // read and store, stay as they were. The file dialog opens in the folder of the file last
    // detected, else of the layout's file; closing it without a file does nothing.
    const QString previous = !detectFile_.isEmpty() ? detectFile_ : Edit13->text().trimmed();
    const QString folder = previous.isEmpty() ? QString() : QFileInfo(previous).absolutePath();
    const QString saved = QDir::currentPath();
    const QString path = Installed<FileQuestion>::get().importFile(this, folder).trimmed();
    if (!QDir::setCurrent(saved))
        UserPrompts(this).error(QStringLiteral("Unable to return to the folder ") + saved);
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    detectFile_ = path;
    DetectAndImport(path, this, [this](const QString& text) { setStatus(text); });
}
