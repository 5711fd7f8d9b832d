#include "core/data/Schema.h"

#include <algorithm>
#include <memory>

#include <filesystem>
#include <system_error>

#include "xbase/FileSystem.h"
#include "xbase/Group.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

xbase::FieldSpec C(const char* name, int len) { return {name, 'C', len, 0}; }
xbase::FieldSpec N(const char* name, int len, int dec) { return {name, 'N', len, dec}; }
xbase::FieldSpec D(const char* name) { return {name, 'D', 8, 0}; }
xbase::FieldSpec L(const char* name) { return {name, 'L', 1, 0}; }

std::vector<TableSchema> makeTables() {
    std::vector<TableSchema> t;
    t.push_back({"AddrBook", "AddrBook.dbf",
                 {C("First", 20), C("Last", 20), C("Street", 40), C("Street2", 40),
                  C("City", 20), C("State", 2), C("Zip", 10), C("Country", 35), C("email", 60),
                  C("phone", 24), C("fax", 24), C("mobile", 24), D("Birthdate"), D("Annavdate"),
                  D("Other1Date"), D("Other2Date"), L("Birthday"), L("Annav"), L("Valentine"),
                  L("Mother"), L("Father"), L("Secretary"), L("Halloween"), L("ThanksGiv"),
                  L("Christmas"), L("Other1"), L("Other2")},
                 "AddrBook", "Address", "Upper(Last + First)", "AddrBook.DBF", "Address.Ntx", 2});
    t.push_back({"LABELS", "LABELS.dbf",
                 {C("Name", 40), N("TopM", 9, 3), N("LeftM", 9, 3), N("BottomM", 9, 3),
                  N("RightM", 9, 3), N("Width", 9, 3), N("Height", 9, 3), N("HGap", 9, 3),
                  N("VGap", 9, 3), N("nAcross", 1, 0), L("Continuous")},
                 "LABELS", "Labels", "Name", "LABELS.DBF", "Labels.Ntx", 1});
    t.push_back({"Mrby1", "Mrby1.dbf",
                 {C("FontName", 30), N("FontSize", 4, 0), C("LabID", 40), C("MailHost", 69),
                  C("MailID", 69), C("MailAddr", 69), C("MailName", 69), C("MailReply", 69)},
                 "", "", "", "Mrby1.DBF", "", 0});
    std::vector<xbase::FieldSpec> imp;
    for (const char* n : {"fFirst", "fLast", "fStreet", "fStreet2", "fCity", "fState", "fZip",
                          "fCountry", "fEmail", "fPhone", "fFax", "fMobile"})
        imp.push_back(N(n, 2, 0));
    imp.push_back(C("ImpFile", 101));
    t.push_back({"importf", "importf.dbf", imp, "", "", "", "importf.dbf", "", 3});
    return t;
}

xbase::Status failure(xbase::Library& lib, const std::string& file, const char* what) {
    xbase::Status s = lib.lastError();
    if (s.ok()) s = xbase::Status::error(xbase::ErrorKind::IoError, file, what);
    return s;
}

}  // namespace

const std::vector<TableSchema>& DataTables() {
    static const std::vector<TableSchema> tables = makeTables();
    return tables;
}

std::vector<const TableSchema*> BackupTables() {
    std::vector<const TableSchema*> out;
    for (const TableSchema& t : DataTables())
        if (t.backupOrder > 0) out.push_back(&t);
    std::sort(out.begin(), out.end(),
              [](const TableSchema* a, const TableSchema* b) { return a->backupOrder < b->backupOrder; });
    return out;
}

const TableSchema* FindTable(const std::string& fileName) {
    for (const TableSchema& t : DataTables())
        if (xbase::equalsFolded(t.fileName, fileName)) return &t;
    return nullptr;
}

xbase::Status CheckTableFile(xbase::FileSystem& fs, const std::string& path, const TableSchema& schema) {
    std::unique_ptr<xbase::DbfFile> dbf;
    XB_TRY(xbase::DbfFile::open(fs, path, true, &dbf));
    XB_TRY(dbf->countsEveryRow());
    return CheckColumns(*dbf, schema, path);
}

xbase::Status CheckColumns(const xbase::DbfFile& dbf, const TableSchema& schema, const std::string& path) {
    for (const xbase::FieldSpec& want : schema.fields) {
        const int i = dbf.fieldIndex(want.name);
        if (i < 0 || dbf.fields()[size_t(i)].type != want.type)
            return xbase::Status::error(xbase::ErrorKind::Corrupt, path,
                                        "not a " + schema.baseName + " table: it has no " + want.name +
                                            " column of type " + std::string(1, want.type));
    }
    return xbase::Status::Ok();
}

bool IndexFilesPresent(xbase::FileSystem& fs, const std::string& dir, const TableSchema& t) {
    const std::string index = xbase::resolveName(fs, dir, t.tag + ".ntx");
    return fs.exists(index) && !fs.exists(xbase::Table::pendingMarker(index)) &&
           xbase::groupIsUsable(fs, xbase::resolveName(fs, dir, t.group + ".cgp"));
}

const std::vector<StandardStock>& StandardStocks() {
    // Sheet sizes: US Letter 612 x 792 points, A4 595.276 x 841.89 points. Each stock's margins,
    // labels and gaps add up to its sheet.
    static const std::vector<StandardStock> stocks = {
        {"US Letter 1 x 2-5/8 in, 30 per sheet", 36, 13.5, 36, 13.5, 189, 72, 9, 0, 3, false},
        {"US Letter 1-1/3 x 4 in, 14 per sheet", 60, 11.25, 60, 11.25, 288, 96, 13.5, 0, 2, false},
        {"US Letter 2 x 4 in, 10 per sheet", 36, 11.25, 36, 11.25, 288, 144, 13.5, 0, 2, false},
        {"A4 63.5 x 38.1 mm, 21 per sheet", 42.945, 20.551, 42.945, 20.551, 180, 108, 7.087, 0, 3,
         false},
        {"A4 70 x 37 mm, 24 per sheet", 1.417, 0, 1.417, 0, 198.425, 104.882, 0, 0, 3, false},
        {"Continuous 3-1/2 x 15/16 in, pin feed", 0, 0, 0, 0, 252, 67.5, 0, 4.5, 1, true},
    };
    return stocks;
}

std::vector<std::string> DataSetFileNames() {
    std::vector<std::string> names;
    for (const TableSchema& t : DataTables()) {
        names.push_back(t.fileName);
        if (!t.group.empty()) {
            names.push_back(t.tag + ".ntx");
            names.push_back(t.group + ".cgp");
        }
    }
    return names;
}

xbase::Status CreateDataSet(const std::string& dir) {
    using xbase::Status;
    xbase::FileSystem& fs = xbase::FileSystem::real();

    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return Status::error(xbase::ErrorKind::IoError, dir, ec.message(), ec.value());

    for (const std::string& name : DataSetFileNames()) {
        if (fs.exists(xbase::resolveName(fs, dir, name)))
            return Status::error(xbase::ErrorKind::Exists, xbase::resolveName(fs, dir, name),
                                 "a data set already exists in this directory");
    }

    xbase::Library lib(fs);
    lib.setDirectory(dir);
    for (const TableSchema& schema : DataTables()) {
        xbase::Table* t = lib.create(schema.baseName, schema.fields);
        if (!t) return failure(lib, schema.fileName, "cannot create table");

        if (schema.baseName == "LABELS") {
            for (const StandardStock& s : StandardStocks()) {
                if (t->appendBlank() != 0) return failure(lib, schema.fileName, "cannot append");
                t->field("Name")->assign(s.name);
                t->field("TopM")->assignDouble(s.topM);
                t->field("LeftM")->assignDouble(s.leftM);
                t->field("BottomM")->assignDouble(s.bottomM);
                t->field("RightM")->assignDouble(s.rightM);
                t->field("Width")->assignDouble(s.width);
                t->field("Height")->assignDouble(s.height);
                t->field("HGap")->assignDouble(s.hGap);
                t->field("VGap")->assignDouble(s.vGap);
                t->field("nAcross")->assignInt(s.nAcross);
                t->field("Continuous")->assignLogical(s.continuous);
            }
        } else if (schema.baseName == "Mrby1") {
            // A blank font name, size 0 and a blank LabID: the program's defaults apply.
            if (t->appendBlank() != 0) return failure(lib, schema.fileName, "cannot append");
            t->field("FontSize")->assignInt(0);
        } else if (schema.baseName == "importf") {
            // Positions 1 to 12 in column order: a file whose lines list the fields as the
            // address book does imports as is.
            if (t->appendBlank() != 0) return failure(lib, schema.fileName, "cannot append");
            for (size_t i = 0; i < 12; ++i) t->fieldAt(i)->assignInt(static_cast<long long>(i) + 1);
        }
        if (t->flush() < 0) return failure(lib, schema.fileName, "cannot write");

        if (!schema.group.empty()) {
            xbase::TagSpec tag;
            tag.name = schema.tag;
            tag.expression = schema.key;
            if (t->createIndex(schema.group, {tag}) < 0)
                return failure(lib, schema.tag + ".ntx", "cannot create index");
        }
        if (t->close() < 0) return failure(lib, schema.fileName, "cannot close");
    }
    return Status::Ok();
}
