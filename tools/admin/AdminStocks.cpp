// merrowby-admin stocks: the label catalogue's sheets as CSV (with why a sheet cannot be a
// stock), and adding one as a label stock.

#include <QFileInfo>
#include <cstdio>

#include "AdminArgs.h"
#include "AdminCommand.h"
#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/StockCatalogue.h"

extern const AdminCommand kAdminStocks;

namespace {

int run(const QStringList& args) {
    AdminArgs a("stocks", kAdminStocks.usage);
    a.values({{"search", "--search needs a text"},
              {"add", "--add needs \"MAKER PART\""}});
    if (!a.parse(args, 1, 1)) return 2;
    const QString dir = a.plain(0), search = a.get(QStringLiteral("search")), add = a.get(QStringLiteral("add"));
    const bool searching = a.has(QStringLiteral("search"));
    if (searching == a.has(QStringLiteral("add"))) return a.usage();
    if (!a.isDirectory(dir)) return 2;
    const StockCatalogue cat = ReadStockCatalogue();
    if (cat.entries.empty()) return a.fail(QString::fromLatin1(kNoCatalogueMessage));

    if (searching) {
        std::printf("Maker,Part,Description,PerSheet,Width,Height,Refused\n");
        for (const CatalogueEntry* e : SearchCatalogue(cat, search))
            std::printf("%s,%s,\"%s\",%d,%.3f,%.3f,\"%s\"\n", e->maker.toUtf8().constData(), e->part.toUtf8().constData(),
                        e->description.toUtf8().replace('"', "\"\"").constData(), e->perSheet, e->stock.Width,
                        e->stock.Height, e->refusal.toUtf8().replace('"', "\"\"").constData());
        std::fflush(stdout);
        return 0;
    }
    const CatalogueEntry* e = FindCatalogueEntry(cat, add);
    if (!e) return a.fail(QStringLiteral("not in the catalogue: ") + add);
    if (!e->refusal.isEmpty()) {
        return a.fail(e->maker + QLatin1Char(' ') + e->part + QStringLiteral(" cannot be added as a label stock: ") +
                          e->refusal,
                      1);
    }
    AdminSession session("stocks", dir, AdminSession::Access::Writes);
    if (!session.begin()) return 1;
    const DataStatus opened = OpenLabels();
    if (!opened) return session.fail(opened);
    int recNo = 0;
    bool added = false;
    const DataStatus s = AddCatalogueStock(e->stock, &recNo, &added);
    const DataStatus closed = CloseTable(LabelsTable);
    if (!s) return session.fail(s);
    if (!closed) return session.fail(closed);
    std::printf("%s stock \"%s\" (record %d)\n", added ? "added" : "already have", e->stock.Name.toUtf8().constData(),
                recNo);
    return session.finish();
}

}  // namespace

extern const AdminCommand kAdminStocks = {"stocks", false, run,
                                          "merrowby-admin stocks DIR --search TEXT\n"
                                          "  merrowby-admin stocks DIR --add \"MAKER PART\""};
