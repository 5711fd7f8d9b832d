#include "TestData.h"

#include <QDir>
#include <QFile>
#include <cstdio>

#include "data/Globals.h"
#include "data/Schema.h"
#include "data/dbFiles.h"
#include "xbase/library.h"
#include "xbase/table.h"

namespace {

// The generator of gen_addresses.py: s = s * 48271 mod (2^31 - 1), values drawn in row order.
class Gen {
public:
    explicit Gen(uint32_t seed) : s_(seed) {}
    uint64_t next() {
        s_ = s_ * 48271u % 2147483647u;
        return s_;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    template <size_t N>
    const char* pick(const char* const (&a)[N]) { return a[below(static_cast<int>(N))]; }

    std::string surname() {
        static const char* const syl[] = {"an", "ber", "cor", "dal", "el", "fen", "gar", "hol",
                                          "is", "jon", "kel", "lam", "mor", "nel", "os", "par",
                                          "quin", "ros", "sten", "tal", "ur", "van", "wel", "xan",
                                          "yor", "zim", "ash", "bro", "cla", "dre", "fin", "gro"};
        const int parts = 2 + below(2);
        std::string c;
        for (int i = 0; i < parts; ++i) c += pick(syl);
        c[0] = static_cast<char>(c[0] - 'a' + 'A');
        return c;
    }
    std::string date(int y0, int years) {
        const int y = y0 + below(years);
        const int m = 1 + below(12);
        const int d = 1 + below(28);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
        return buf;
    }
    std::string phone() {
        const int a = 200 + below(800);
        const int n = below(10000);
        char buf[32];
        std::snprintf(buf, sizeof buf, "(%03d) 555-%04d", a, n);
        return buf;
    }

private:
    uint64_t s_;
};

const char* const kFirst[] = {
    "James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael", "Linda", "William",
    "Elizabeth", "David", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas", "Sarah",
    "Charles", "Karen", "Christopher", "Nancy", "Daniel", "Lisa", "Matthew", "Betty", "Anthony",
    "Margaret", "Mark", "Sandra", "Donald", "Ashley", "Steven", "Kimberly", "Paul", "Emily",
    "Andrew", "Donna", "Joshua", "Michelle", "Kenneth", "Dorothy", "Kevin", "Carol", "Brian",
    "Amanda", "George", "Melissa", "Edward", "Deborah", "Ronald", "Stephanie", "Timothy",
    "Rebecca", "Jason", "Sharon", "Jeffrey", "Laura", "Ryan", "Cynthia", "Jacob", "Kathleen",
    "Gary", "Amy"};
const char* const kStreet[] = {"Main", "Oak", "Pine", "Maple", "Cedar", "Elm", "Washington",
                               "Lake", "Hill", "Park", "Sunset", "Lincoln", "Jackson", "River",
                               "Church", "Willow"};
const char* const kSuffix[] = {"St", "Ave", "Rd", "Blvd", "Ln", "Dr", "Ct", "Way"};
const char* const kCity[] = {"Springfield", "Riverside", "Franklin", "Greenville", "Bristol",
                             "Clinton", "Fairview", "Salem", "Madison", "Georgetown", "Arlington",
                             "Ashland", "Dover", "Oxford", "Jackson", "Burlington"};
const char* const kState[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA",
                              "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD",
                              "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ",
                              "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC",
                              "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY"};
const char* const kCountry[] = {"USA", "USA", "USA", "USA", "Canada", "Mexico", "United Kingdom",
                                "Germany"};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

[[noreturn]] void engineFailure(xbase::Library& lib, const char* what) {
    throw std::runtime_error(std::string(what) + ": " + lib.lastError().toString());
}

}  // namespace

std::vector<std::vector<std::string>> SyntheticRows(int n, uint32_t seed) {
    Gen g(seed);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) {
        std::vector<std::string> r;
        const std::string first = g.pick(kFirst);
        const std::string last = g.surname();
        r.push_back(first);
        r.push_back(last);
        const int num = 1 + g.below(9999);
        const std::string street = g.pick(kStreet);
        r.push_back(std::to_string(num) + " " + street + " " + g.pick(kSuffix));
        r.push_back(g.below(5) == 0 ? "Apt " + std::to_string(1 + g.below(999)) : "");
        r.push_back(g.pick(kCity));
        r.push_back(g.pick(kState));
        char zip[8];
        std::snprintf(zip, sizeof zip, "%05d", g.below(100000));
        r.push_back(zip);
        r.push_back(g.pick(kCountry));
        r.push_back(lower(first) + "." + lower(last) + "@example.com");
        r.push_back(g.phone());
        r.push_back(g.below(4) == 0 ? g.phone() : "");
        r.push_back(g.phone());
        r.push_back(g.date(1940, 60));
        r.push_back(g.date(1960, 60));
        r.push_back(g.below(10) == 0 ? g.date(2000, 25) : "");
        r.push_back(g.below(10) == 0 ? g.date(2000, 25) : "");
        for (int f = 0; f < 11; ++f) r.push_back(g.below(2) == 1 ? "T" : "F");
        rows.push_back(std::move(r));
    }
    return rows;
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

FatalExitCatcher::FatalExitCatcher() {
    SetFatalExitHandler([](int code) { throw FatalExit(code); });
}

FatalExitCatcher::~FatalExitCatcher() { SetFatalExitHandler(nullptr); }

MessageLog::MessageLog(bool okAnswer) : answer_(okAnswer) {
    Messages::setResponder([this](Messages::Kind kind, const QString& text) {
        entries_.push_back({kind, text});
        return answer_;
    });
}

MessageLog::~MessageLog() { Messages::setResponder(nullptr); }

QStringList MessageLog::texts() const {
    QStringList l;
    for (const Entry& e : entries_) l << e.text;
    return l;
}
