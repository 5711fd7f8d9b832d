#include "FullDiskImport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <string>
#include <vector>

#include "TestData.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "xbase/Check.h"
#include "xbase/FileSystem.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

QStringList firstNames() {
    QStringList out;
    EXPECT_TRUE(OpenAddrBook().ok());
    if (!AddrBookTable) return out;
    AddrBookTable->selectTag(nullptr);
    for (int rc = AddrBookTable->top(); rc == xbase::kOk; rc = AddrBookTable->skip()) {
        LoadAddrRec();
        out << AddressRec.First.trimmed();
    }
    EXPECT_TRUE(CloseTable(AddrBookTable).ok());
    return out;
}

}  // namespace

void ExpectFullDiskImportKeepsWhatItTells(bool headerTaken, const std::function<ImportTold(const QString& file)>& run) {
    TestDataDir source(TestDataDir::Empty);
    const QString file = source.path() + QStringLiteral("/c.csv");
    {
        QByteArray text = "First,Last\n";
        for (int i = 0; i < 300; ++i) text += "F" + QByteArray::number(i) + ",Name" + QByteArray::number(i) + ",1 Elm St\n";
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    xbase::Library* const saved = LibHandle;
    for (const int64_t space : {0, 6000, 40000, 90000}) {
        SCOPED_TRACE("space " + std::to_string(space));
        TestDataDir dir(3);
        xbase::FaultyFileSystem faulty(xbase::FileSystem::real());
        {
            xbase::Library failing(faulty);
            failing.setDirectory(dir.dir());
            failing.setSyncOnFlush(false);
            LibHandle = &failing;
            xbase::FaultyFileSystem::Plan plan;
            plan.spaceBytes = space;
            faulty.setPlan(plan);
            const ImportTold told = run(file);
            (void)failing.closeAll();
            AddrBookTable = nullptr;
            LibHandle = saved;
            if (told.added < 0) continue;  // the run could not start
            ScopedLibrary readBack(dir.path());
            const QStringList now = firstNames();
            ASSERT_EQ(now.size(), 3 + told.added) << told.error.toStdString();
            const int skip = headerTaken ? 1 : 0;
            for (int i = skip; i < told.added; ++i) EXPECT_EQ(now[3 + i], "F" + QString::number(i - skip));
            EXPECT_EQ(told.error.isEmpty(), faulty.failures() == 0) << told.error.toStdString();
            if (faulty.failures() > 0) {
                EXPECT_TRUE(told.error.contains("Unable to add every name")) << told.error.toStdString();
            }
        }
        std::vector<xbase::CheckVerdict> v;
        EXPECT_TRUE(xbase::checkTable(xbase::FileSystem::real(), dir.dir(), "AddrBook", true, &v))
            << (v.empty() ? "" : v.back().file + ": " + v.back().detail);
    }
}
