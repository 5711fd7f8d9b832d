#include "TestData.h"

#include <QDir>
#include <QFile>
#include <cstdio>

#include "../../../bench/AddressGen.h"  // the rows of bench/gen_addresses.py
#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/data/Records.h"
#include "core/occasions/Occasions.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

[[noreturn]] void engineFailure(xbase::Library& lib, const char* what) {
    throw std::runtime_error(std::string(what) + ": " + lib.lastError().toString());
}

}  // namespace

std::vector<std::vector<std::string>> SyntheticRows(int n, uint32_t seed) {
    addrgen::Gen g(seed);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) {
        const auto r = g.row();
        rows.emplace_back(r.begin(), r.end());
    }
    return rows;
}

std::vector<std::string> NamedRow(const std::string& first, const std::string& last,
                                  std::initializer_list<int> holidays) {
    std::vector<std::string> row(27, "F");
    for (int i = 0; i < 16; ++i) row[size_t(i)] = "";
    row[0] = first;
    row[1] = last;
    row[2] = "1 " + last + " Street";
    row[4] = "Springfield";
    for (int h : holidays)
        if (h >= 1 && h <= 7) row[size_t(17 + h)] = "T";  // Valentine is column 18
    return row;
}

std::vector<std::string> AddressRow(const std::string& first, const std::string& last,
                                    std::initializer_list<std::pair<AddrColumn, std::string>> dates,
                                    std::initializer_list<AddrColumn> flags) {
    std::vector<std::string> r = NamedRow(first, last);
    for (const auto& [column, date] : dates) r[size_t(column)] = date;
    for (AddrColumn column : flags) r[size_t(column)] = "T";
    return r;
}

std::vector<std::string> ResidentRow(const std::string& first, const std::string& last, const std::string& street,
                                     bool christmas, const std::string& city, const std::string& zip) {
    std::vector<std::string> row = NamedRow(first, last, christmas ? std::initializer_list<int>{7}
                                                                   : std::initializer_list<int>{});
    row[2] = street;
    row[4] = city;
    row[6] = zip;
    return row;
}

QStringList FlaggedFirstNames(int occasion) {
    QStringList out;
    if (!OpenAddrBook()) return out;
    for (; LastStatus == 0; LastStatus = AddrBookTable->skip()) {
        LoadAddrRec();
        if (HolidayFlag(AddressRec, occasion)) out << TrimText(AddressRec.First);
    }
    (void)CloseTable(AddrBookTable);  // read only
    return out;
}

void AppendAddressRows(const std::string& dir, const std::vector<std::vector<std::string>>& rows) {
    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    xbase::Table* t = lib.open("AddrBook");
    if (!t) engineFailure(lib, "open AddrBook");
    const TableSchema& schema = DataTables().front();
    for (const auto& row : rows) {
        if (t->appendBlank() != 0) engineFailure(lib, "append");
        for (size_t i = 0; i < row.size() && i < schema.fields.size(); ++i)
            t->field(schema.fields[i].name)->assign(row[i]);
    }
    if (t->flush() < 0) engineFailure(lib, "flush");
    xbase::TagSpec tag;
    tag.name = schema.tag;
    tag.expression = schema.key;
    if (t->createIndex(schema.group, {tag}) < 0) engineFailure(lib, "index");
    if (lib.closeAll() < 0) engineFailure(lib, "close");
}

// --- TestDataDir ----------------------------------------------------------------------------

TestDataDir::TestDataDir(EmptyTag) : path_(tmp_.path()) {
    if (!tmp_.isValid()) throw std::runtime_error("no temporary directory");
}

TestDataDir::TestDataDir(int names, uint32_t seed) : TestDataDir(Empty) {
    const xbase::Status s = CreateDataSet(dir());
    if (!s.ok()) throw std::runtime_error("CreateDataSet: " + s.toString());
    if (names > 0) AppendAddressRows(dir(), SyntheticRows(names, seed));
}

QString TestDataDir::filePath(const QString& name) const {
    const QDir d(path_);
    for (const QString& f : d.entryList(QDir::Files | QDir::Hidden))
        if (f.compare(name, Qt::CaseInsensitive) == 0) return d.filePath(f);
    return d.filePath(name);
}

bool TestDataDir::exists(const QString& name) const { return QFile::exists(filePath(name)); }

QByteArray TestDataDir::read(const QString& name) const {
    QFile f(filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TestDataDir::remove(const QString& name) const { return QFile::remove(filePath(name)); }

QStringList TestDataDir::files() const {
    QStringList l = QDir(path_).entryList(QDir::Files | QDir::Hidden);
    l.sort();
    return l;
}

// --- scoped state ---------------------------------------------------------------------------

ScopedLibrary::ScopedLibrary(const QString& dir) : lib_(new xbase::Library()), previous_(LibHandle) {
    lib_->setDirectory(dir.toStdString());
    LibHandle = lib_;
}

ScopedLibrary::~ScopedLibrary() {
    lib_->closeAll();
    AddrBookTable = LabelsTable = SettingsTable = ImportTable = nullptr;
    if (LibHandle == lib_) LibHandle = previous_;
    delete lib_;
}

ScopedCurrentDir::ScopedCurrentDir(const QString& dir) : previous_(QDir::currentPath()) {
    if (!QDir::setCurrent(dir)) throw std::runtime_error("cannot enter " + dir.toStdString());
}

ScopedCurrentDir::~ScopedCurrentDir() { QDir::setCurrent(previous_); }
