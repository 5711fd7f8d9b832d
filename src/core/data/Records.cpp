#include "core/data/Records.h"

#include <QLocale>

#include <strings.h>

#include <algorithm>
#include <cstdint>

#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

// Longest texts handed to the library; it then cuts or pads them to the column width.
constexpr int kTextMax = 59;
constexpr int kMailMax = 69;
constexpr int kImpFileMax = 101;

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

// Field access by column name (letter case ignored). A column the table lacks reads as blank and
// takes no value, so a table of an older layout still opens.
xbase::Field* fld(xbase::Table* t, const char* name) { return t ? t->field(name) : nullptr; }

QString getText(xbase::Table* t, const char* name) {
    xbase::Field* f = fld(t, name);
    return f ? QString::fromStdString(f->str()) : QString();
}
QString getTrimmed(xbase::Table* t, const char* name) { return getText(t, name).trimmed(); }
int32_t getInt(xbase::Table* t, const char* name) {
    xbase::Field* f = fld(t, name);
    return f ? static_cast<int32_t>(std::clamp<long long>(f->asInt(), INT32_MIN, INT32_MAX)) : 0;
}
double getDouble(xbase::Table* t, const char* name) {
    xbase::Field* f = fld(t, name);
    return f ? f->asDouble() : 0.0;
}
QDate getDate(xbase::Table* t, const char* name) { return FieldToDate(getText(t, name)); }
bool getFlag(xbase::Table* t, const char* name) { return FlagFromField(fld(t, name)); }

void putText(xbase::Table* t, const char* name, const QString& text, int most = kTextMax) {
    if (xbase::Field* f = fld(t, name)) f->assign(text.left(most).toStdString());
}
void putInt(xbase::Table* t, const char* name, int32_t v) {
    if (xbase::Field* f = fld(t, name)) f->assignInt(v);
}
void putDouble(xbase::Table* t, const char* name, double v) {
    if (xbase::Field* f = fld(t, name)) f->assignDouble(v);
}
void putDate(xbase::Table* t, const char* name, const QDate& d) {
    if (xbase::Field* f = fld(t, name)) f->assign(DateToField(d).toStdString());
}
void putFlag(xbase::Table* t, const char* name, bool v) {
    if (xbase::Field* f = fld(t, name)) FlagToField(f, v);
}

bool allDigits(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

// --- open -----------------------------------------------------------------------------------

namespace {
DataStatus openIndexed(const char* baseName, const char* fileName, const char* tagName,
                       const char* indexFile, xbase::Table*& global) {
    xbase::Table* t = nullptr;
    DataStatus s = openTable(baseName, fileName, &t);
    if (s) s = selectTag(t, tagName, indexFile);
    global = t;
    LastStatus = t ? t->top() : -1;
    return s;
}

DataStatus openIndexed(const TableSchema& t, xbase::Table*& global) {
    return openIndexed(t.baseName.c_str(), t.shownName.c_str(), t.tag.c_str(), t.shownIndex.c_str(), global);
}
const TableSchema& table(size_t i) { return DataTables()[i]; }  // AddrBook, LABELS, Mrby1, importf
}  // namespace

DataStatus OpenAddrBook() { return openIndexed(table(0), AddrBookTable); }

DataStatus OpenLabels() { return openIndexed(table(1), LabelsTable); }

namespace {
// The settings and import layout tables have no index: open them alone.
DataStatus openWithoutIndex(const char* baseName, const char* fileName, xbase::Table*& global) {
    if (LibHandle) LibHandle->setAutoOpen(false);
    struct Restore {
        ~Restore() {
            if (LibHandle) LibHandle->setAutoOpen(true);
        }
    } restore;
    xbase::Table* t = nullptr;
    const DataStatus s = openTable(baseName, fileName, &t);
    global = t;
    LastStatus = t ? t->top() : -1;
    return s;
}

// The name messages give a table's file.
QString shownName(xbase::Table* t) {
    for (const TableSchema& s : DataTables())
        if (strcasecmp(s.baseName.c_str(), t->alias().c_str()) == 0) return QString::fromStdString(s.shownName);
    return QString::fromStdString(t->alias()) + QStringLiteral(".dbf");
}
}  // namespace

DataStatus OpenSettings() {
    return openWithoutIndex(table(2).baseName.c_str(), table(2).shownName.c_str(), SettingsTable);
}

DataStatus OpenImportLayout() {
    return openWithoutIndex(table(3).baseName.c_str(), table(3).shownName.c_str(), ImportTable);
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

// --- address book ---------------------------------------------------------------------------

void LoadAddrRec() {
    xbase::Table* t = AddrBookTable;
    TAddressRecord& r = AddressRec;
    r.First = getText(t, "First");
    r.Last = getText(t, "Last");
    r.Street = getText(t, "Street");
    r.Street2 = getText(t, "Street2");
    r.City = getText(t, "City");
    r.State = getText(t, "State");
    r.Zip = getText(t, "Zip");
    r.Country = getText(t, "Country");
    r.email = getText(t, "email");
    r.phone = getText(t, "phone");
    r.fax = getText(t, "fax");
    r.mobile = getText(t, "mobile");
    r.Birthdate = getDate(t, "Birthdate");
    r.Annavdate = getDate(t, "Annavdate");
    r.Other1Date = getDate(t, "Other1Date");
    r.Other2Date = getDate(t, "Other2Date");
    r.Birthday = getFlag(t, "Birthday");
    r.Annav = getFlag(t, "Annav");
    r.Valentine = getFlag(t, "Valentine");
    r.Mother = getFlag(t, "Mother");
    r.Father = getFlag(t, "Father");
    r.Secretary = getFlag(t, "Secretary");
    r.Halloween = getFlag(t, "Halloween");
    r.ThanksGiv = getFlag(t, "ThanksGiv");
    r.Christmas = getFlag(t, "Christmas");
    r.Other1 = getFlag(t, "Other1");
    r.Other2 = getFlag(t, "Other2");
}

void StoreAddrRec() {
    xbase::Table* t = AddrBookTable;
    const TAddressRecord& r = AddressRec;
    putText(t, "First", r.First);
    putText(t, "Last", r.Last);
    putText(t, "Street", r.Street);
    putText(t, "Street2", r.Street2);
    putText(t, "City", r.City);
    putText(t, "State", r.State);
    putText(t, "Zip", r.Zip);
    putText(t, "Country", r.Country);
    putText(t, "email", r.email);
    putText(t, "phone", r.phone);
    putText(t, "fax", r.fax);
    putText(t, "mobile", r.mobile);
    putDate(t, "Birthdate", r.Birthdate);
    putDate(t, "Annavdate", r.Annavdate);
    putDate(t, "Other1Date", r.Other1Date);
    putDate(t, "Other2Date", r.Other2Date);
    putFlag(t, "Birthday", r.Birthday);
    putFlag(t, "Annav", r.Annav);
    putFlag(t, "Valentine", r.Valentine);
    putFlag(t, "Mother", r.Mother);
    putFlag(t, "Father", r.Father);
    putFlag(t, "Secretary", r.Secretary);
    putFlag(t, "Halloween", r.Halloween);
    putFlag(t, "ThanksGiv", r.ThanksGiv);
    putFlag(t, "Christmas", r.Christmas);
    putFlag(t, "Other1", r.Other1);
    putFlag(t, "Other2", r.Other2);
}

// --- label stocks ---------------------------------------------------------------------------

void LoadLabelRec() {
    xbase::Table* t = LabelsTable;
    TLabelRecord& r = LabelRec;
    r.Name = getText(t, "Name");
    r.TopM = getDouble(t, "TopM");
    r.LeftM = getDouble(t, "LeftM");
    r.BottomM = getDouble(t, "BottomM");
    r.RightM = getDouble(t, "RightM");
    r.Width = getDouble(t, "Width");
    r.Height = getDouble(t, "Height");
    r.HGap = getDouble(t, "HGap");
    r.VGap = getDouble(t, "VGap");
    r.nAcross = getInt(t, "nAcross");
    r.Continuous = getFlag(t, "Continuous");
}

void StoreLabelRec() {
    xbase::Table* t = LabelsTable;
    const TLabelRecord& r = LabelRec;
    putText(t, "Name", r.Name);
    putDouble(t, "TopM", r.TopM);
    putDouble(t, "LeftM", r.LeftM);
    putDouble(t, "BottomM", r.BottomM);
    putDouble(t, "RightM", r.RightM);
    putDouble(t, "Width", r.Width);
    putDouble(t, "Height", r.Height);
    putDouble(t, "HGap", r.HGap);
    putDouble(t, "VGap", r.VGap);
    putInt(t, "nAcross", r.nAcross);
    putFlag(t, "Continuous", r.Continuous);
}

// --- settings -------------------------------------------------------------------------------

void LoadSettings() {
    xbase::Table* t = SettingsTable;
    TSettingsRecord& r = SettingsRec;
    r.FontName = getText(t, "FontName");
    r.FontSize = getInt(t, "FontSize");
    r.LabID = getText(t, "LabID");
    r.MailHost = getTrimmed(t, "MailHost");
    r.MailID = getTrimmed(t, "MailID");
    r.MailAddr = getTrimmed(t, "MailAddr");
    r.MailName = getTrimmed(t, "MailName");
    r.MailReply = getTrimmed(t, "MailReply");
}

void StoreSettings() {
    xbase::Table* t = SettingsTable;
    const TSettingsRecord& r = SettingsRec;
    putText(t, "FontName", r.FontName);
    putInt(t, "FontSize", r.FontSize);
    putText(t, "LabID", r.LabID);
    putText(t, "MailHost", r.MailHost, kMailMax);
    putText(t, "MailID", r.MailID, kMailMax);
    putText(t, "MailAddr", r.MailAddr, kMailMax);
    putText(t, "MailName", r.MailName, kMailMax);
    putText(t, "MailReply", r.MailReply, kMailMax);
}

// --- import layout --------------------------------------------------------------------------

void LoadImportLayout() {
    xbase::Table* t = ImportTable;
    TImportRecord& r = ImportRec;
    r.fFirst = getInt(t, "fFirst");
    r.fLast = getInt(t, "fLast");
    r.fStreet = getInt(t, "fStreet");
    r.fStreet2 = getInt(t, "fStreet2");
    r.fCity = getInt(t, "fCity");
    r.fState = getInt(t, "fState");
    r.fZip = getInt(t, "fZip");
    r.fCountry = getInt(t, "fCountry");
    r.fEmail = getInt(t, "fEmail");
    r.fPhone = getInt(t, "fPhone");
    r.fFax = getInt(t, "fFax");
    r.fMobile = getInt(t, "fMobile");
    r.ImpFile = getTrimmed(t, "ImpFile");
}

void StoreImportLayout() {
    xbase::Table* t = ImportTable;
    const TImportRecord& r = ImportRec;
    putInt(t, "fFirst", r.fFirst);
    putInt(t, "fLast", r.fLast);
    putInt(t, "fStreet", r.fStreet);
    putInt(t, "fStreet2", r.fStreet2);
    putInt(t, "fCity", r.fCity);
    putInt(t, "fState", r.fState);
    putInt(t, "fZip", r.fZip);
    putInt(t, "fCountry", r.fCountry);
    putInt(t, "fEmail", r.fEmail);
    putInt(t, "fPhone", r.fPhone);
    putInt(t, "fFax", r.fFax);
    putInt(t, "fMobile", r.fMobile);
    putText(t, "ImpFile", r.ImpFile, kImpFileMax);
}

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

bool FlagFromField(xbase::Field* field) { return field && field->isTrue(); }

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
