#include "core/data/Records.h"

#include <QLocale>

#include <algorithm>
#include <cstdint>

#include "core/data/FieldBindings.h"
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

// Longest texts handed to the library beyond kStoredTextMost; it then cuts or pads them to the
// column width.
constexpr int kMailMost = 69;
constexpr int kImpFileMost = 101;

// The engine's reason for the failure just recorded in the library (cleared), or `fallback`.
QString engineDetail(const char* fallback) {
    if (!LibHandle) return QStringLiteral("no table library");
    const std::string text = LibHandle->lastError().ok() ? std::string() : LibHandle->lastError().toString();
    LibHandle->errorCode();
    return text.empty() ? QString::fromLatin1(fallback) : QString::fromStdString(text);
}

// Opens a table through LibHandle; a failure names `fileName`.
DataStatus openTable(const char* baseName, const char* fileName, xbase::Table** out) {
    *out = nullptr;
    if (!LibHandle) return DataStatus::failure(QString::fromLatin1(fileName), QStringLiteral("no table library"));
    LibHandle->errorCode();  // a failure left over from earlier is not this open's
    xbase::Table* t = LibHandle->open(baseName);
    if (!t || LibHandle->exitTest()) {
        const DataStatus s = DataStatus::failure(QString::fromLatin1(fileName), engineDetail("cannot open"));
        if (t) t->close();
        return s;
    }
    *out = t;
    return DataStatus::Ok();
}

DataStatus selectTag(xbase::Table*& t, const char* tagName, const char* fileName) {
    xbase::Tag* tag = t->tag(tagName);
    if (tag) t->selectTag(tag);
    if (!tag || LibHandle->exitTest()) {
        const DataStatus s = DataStatus::failure(QString::fromLatin1(fileName),
                                                 engineDetail("the index is missing"));
        t->close();
        t = nullptr;
        return s;
    }
    return DataStatus::Ok();
}

bool allDigits(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

// --- the records' columns ------------------------------------------------------------------

namespace {

using A = TAddressRecord;
FieldBindings<A>& addressColumns() {
    static FieldBindings<A> b{
        {"First", &A::First, AddrNames},      {"Last", &A::Last, AddrNames},
        {"Street", &A::Street, AddrPostal},   {"Street2", &A::Street2, AddrPostal},
        {"City", &A::City, AddrPostal},       {"State", &A::State, AddrPostal},
        {"Zip", &A::Zip, AddrPostal},         {"Country", &A::Country, AddrPostal},
        {"email", &A::email, AddrContact},    {"phone", &A::phone, AddrContact},
        {"fax", &A::fax, AddrContact},        {"mobile", &A::mobile, AddrContact},
        {"Birthdate", &A::Birthdate, AddrDates},   {"Annavdate", &A::Annavdate, AddrDates},
        {"Other1Date", &A::Other1Date, AddrDates}, {"Other2Date", &A::Other2Date, AddrDates},
        {"Birthday", &A::Birthday, AddrFlags},     {"Annav", &A::Annav, AddrFlags},
        {"Valentine", &A::Valentine, AddrFlags},   {"Mother", &A::Mother, AddrFlags},
        {"Father", &A::Father, AddrFlags},         {"Secretary", &A::Secretary, AddrFlags},
        {"Halloween", &A::Halloween, AddrFlags},   {"ThanksGiv", &A::ThanksGiv, AddrFlags},
        {"Christmas", &A::Christmas, AddrFlags},   {"Other1", &A::Other1, AddrFlags},
        {"Other2", &A::Other2, AddrFlags},
    };
    return b;
}

using L = TLabelRecord;
FieldBindings<L>& labelColumns() {
    static FieldBindings<L> b{
        {"Name", &L::Name},       {"TopM", &L::TopM},     {"LeftM", &L::LeftM},
        {"BottomM", &L::BottomM}, {"RightM", &L::RightM}, {"Width", &L::Width},
        {"Height", &L::Height},   {"HGap", &L::HGap},     {"VGap", &L::VGap},
        {"nAcross", &L::nAcross}, {"Continuous", &L::Continuous},
    };
    return b;
}

using S = TSettingsRecord;
FieldBindings<S>& settingsColumns() {
    static FieldBindings<S> b{
        {"FontName", &S::FontName},
        {"FontSize", &S::FontSize},
        {"LabID", &S::LabID},
        {.column = "MailHost", .member = &S::MailHost, .most = kMailMost, .trimmed = true},
        {.column = "MailID", .member = &S::MailID, .most = kMailMost, .trimmed = true},
        {.column = "MailAddr", .member = &S::MailAddr, .most = kMailMost, .trimmed = true},
        {.column = "MailName", .member = &S::MailName, .most = kMailMost, .trimmed = true},
        {.column = "MailReply", .member = &S::MailReply, .most = kMailMost, .trimmed = true},
    };
    return b;
}

using I = TImportRecord;
FieldBindings<I>& importColumns() {
    static FieldBindings<I> b{
        {"fFirst", &I::fFirst},     {"fLast", &I::fLast},   {"fStreet", &I::fStreet},
        {"fStreet2", &I::fStreet2}, {"fCity", &I::fCity},   {"fState", &I::fState},
        {"fZip", &I::fZip},         {"fCountry", &I::fCountry}, {"fEmail", &I::fEmail},
        {"fPhone", &I::fPhone},     {"fFax", &I::fFax},     {"fMobile", &I::fMobile},
        {.column = "ImpFile", .member = &I::ImpFile, .most = kImpFileMost, .trimmed = true},
    };
    return b;
}

}  // namespace

// --- open -----------------------------------------------------------------------------------

namespace {
// AddrBook and LABELS: with the tag of their index selected.
DataStatus openIndexed(const TableSchema& schema, xbase::Table*& global) {
    xbase::Table* t = nullptr;
    DataStatus s = openTable(schema.baseName.c_str(), schema.shownName.c_str(), &t);
    if (s) s = selectTag(t, schema.tag.c_str(), schema.shownIndex.c_str());
    global = t;
    LastStatus = t ? t->top() : -1;
    return s;
}
const TableSchema& table(size_t i) { return DataTables()[i]; }  // AddrBook, LABELS, Mrby1, importf

// The open's result, once the columns of the table just opened (or of none) are bound.
template <class Rec>
DataStatus bound(DataStatus opened, FieldBindings<Rec>& columns, xbase::Table* t) {
    columns.bind(t);
    return opened;
}
}  // namespace

DataStatus OpenAddrBook() { return bound(openIndexed(table(0), AddrBookTable), addressColumns(), AddrBookTable); }

DataStatus OpenLabels() { return bound(openIndexed(table(1), LabelsTable), labelColumns(), LabelsTable); }

namespace {
// The settings and import layout tables have no index: open them alone.
DataStatus openWithoutIndex(const TableSchema& schema, xbase::Table*& global) {
    if (LibHandle) LibHandle->setAutoOpen(false);
    struct Restore {
        ~Restore() {
            if (LibHandle) LibHandle->setAutoOpen(true);
        }
    } restore;
    xbase::Table* t = nullptr;
    const DataStatus s = openTable(schema.baseName.c_str(), schema.shownName.c_str(), &t);
    global = t;
    LastStatus = t ? t->top() : -1;
    return s;
}

// The name messages give a table's file.
QString shownName(xbase::Table* t) {
    for (const TableSchema& s : DataTables())
        if (xbase::equalsFolded(s.baseName, t->alias())) return QString::fromStdString(s.shownName);
    return QString::fromStdString(t->alias()) + QStringLiteral(".dbf");
}
}  // namespace

DataStatus OpenSettings() { return bound(openWithoutIndex(table(2), SettingsTable), settingsColumns(), SettingsTable); }

DataStatus OpenImportLayout() {
    return bound(openWithoutIndex(table(3), ImportTable), importColumns(), ImportTable);
}

DataStatus CloseTable(xbase::Table*& table) {
    if (!table) return DataStatus::Ok();
    const QString name = shownName(table);
    const int rc = table->close();
    table = nullptr;
    if (rc < 0) return DataStatus::failure(name, engineDetail("cannot write"));
    return DataStatus::Ok();
}

DataStatus CloseAllTables() {
    DataStatus first;
    for (xbase::Table** t : {&AddrBookTable, &LabelsTable, &SettingsTable, &ImportTable}) {
        const DataStatus s = CloseTable(*t);
        if (first && !s) first = s;
    }
    if (LibHandle && LibHandle->closeAll() < 0 && first)
        first = DataStatus::failure(QStringLiteral("?"), engineDetail("cannot write"));
    return first;
}

DataStatus FlushTable(xbase::Table* table) {
    if (!table) return DataStatus::Ok();
    if (table->flush() < 0) return DataStatus::failure(shownName(table), engineDetail("cannot write"));
    return DataStatus::Ok();
}

void LoadAddrRec() { addressColumns().load(AddrBookTable, AddressRec); }
void LoadAddrRec(TAddressRecord& rec, unsigned parts) { addressColumns().load(AddrBookTable, rec, parts); }
void StoreAddrRec() { addressColumns().store(AddrBookTable, AddressRec); }
void LoadLabelRec() { labelColumns().load(LabelsTable, LabelRec); }
void StoreLabelRec() { labelColumns().store(LabelsTable, LabelRec); }
void LoadSettings() { settingsColumns().load(SettingsTable, SettingsRec); }
void StoreSettings() { settingsColumns().store(SettingsTable, SettingsRec); }
void LoadImportLayout() { importColumns().load(ImportTable, ImportRec); }
void StoreImportLayout() { importColumns().store(ImportTable, ImportRec); }

// --- conversions ----------------------------------------------------------------------------

QString TrimText(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text.at(b).unicode() <= ' ') ++b;
    while (e > b && text.at(e - 1).unicode() <= ' ') --e;
    return text.mid(b, e - b);
}

QString ShortDateFormat() {
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString ShortDateText(const QDate& date) {
    const QString format = ShortDateFormat();
    return QLocale().toString(date, YearUnknown(date) ? DateFormatWithoutYear(format) : format);
}

QString DateToField(const QDate& date) {
    if (!date.isValid() || ZeroDate.daysTo(date) <= 0) return QString();
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QDate FieldToDate(const QString& text) {
    if (text.trimmed().size() < 8 || text.size() < 8) return ZeroDate;
    const QString y = text.mid(0, 4), m = text.mid(4, 2), d = text.mid(6, 2);
    if (!allDigits(y) || !allDigits(m) || !allDigits(d)) return ZeroDate;
    const QDate date(y.toInt(), m.toInt(), d.toInt());
    return date.isValid() ? date : ZeroDate;
}

bool YearUnknown(const QDate& date) { return date.isValid() && date.year() == kYearUnknown; }

QString ShortDateText(const QDate& date, const QLocale& locale) {
    if (!YearUnknown(date)) return locale.toString(date, QLocale::ShortFormat);
    return locale.toString(date, DateFormatWithoutYear(locale.dateFormat(QLocale::ShortFormat)));
}

QString DateFormatWithoutYear(QString format) {
    const qsizetype a = format.indexOf(QLatin1Char('y'));
    if (a < 0) return format;
    qsizetype b = a;
    while (b < format.size() && format.at(b) == QLatin1Char('y')) ++b;
    qsizetype from = a, to = b;
    if (a > 0)
        while (from > 0 && !format.at(from - 1).isLetter()) --from;
    else
        while (to < format.size() && !format.at(to).isLetter()) ++to;
    return format.remove(from, to - from);
}

bool FlagFromField(const xbase::Field* field) { return field && field->isTrue(); }

void FlagToField(xbase::Field* field, bool flag) {
    if (field) field->assign(flag ? "T" : "F");
}

bool IsInteger(const QString& text) {
    // Leading blanks and one sign are allowed, as the number parser of the import layout accepts
    // them; anything after the digits is not.
    int i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    const QString digits = text.mid(i);
    if (!allDigits(digits)) return false;
    bool ok = false;
    (text.mid(0, i).trimmed() + digits).toInt(&ok);
    return ok;
}

QString Blanks(int n) { return n > 0 ? QString(n, QLatin1Char(' ')) : QString(); }
