// The admin tool's contact commands: an occasion's recipients exported and imported again, the
// options they refuse, and a file that is no text refused by the import.
#include <QFile>
#include <gtest/gtest.h>

#include "AdminContacts.h"
#include "AdminImport.h"
#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Table.h"

namespace {

// The rows of AddrBook, and of them those with the Valentine flag.
std::pair<int, int> countRows(const QString& dir) {
    ScopedLibrary lib(dir);
    int rows = 0, valentine = 0;
    EXPECT_TRUE(OpenAddrBook().ok());
    for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip(), ++rows) {
        LoadAddrRec();
        valentine += AddressRec.Valentine ? 1 : 0;
    }
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    return {rows, valentine};
}

}  // namespace

TEST(ContactExport, OccasionRecipientsAndTheAdminCommands) {
    TestDataDir book(300);
    const int valentine = countRows(book.path()).second;
    const QString vcf = book.path() + "/v.vcf";
    EXPECT_EQ(AdminExport({book.path(), "--format", "vcard", "--occasion", "1", vcf}), 0);
    QFile f(vcf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("BEGIN:VCARD"), valentine);
    for (const QStringList& bad : {QStringList{book.path(), "--format", "ldif", vcf},
                                   QStringList{book.path(), "--format", "csv", "--occasion", "9", vcf},
                                   QStringList{book.path(), "--format", "csv"}})
        EXPECT_EQ(AdminExport(bad), 2) << bad.join(' ').toStdString();

    TestDataDir empty;
    EXPECT_EQ(AdminImport({empty.path(), vcf, "--detect"}), 0);
    EXPECT_EQ(countRows(empty.path()).first, valentine);

    // A file that is no text: the import says so and fails.
    QFile binary(empty.path() + "/b.bin");
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i) binary.putChar(char((i * 37 + 11) & 0xFF));
    binary.close();
    EXPECT_EQ(AdminImport({empty.path(), binary.fileName()}), 1);
}
