#include "AdminStocks.h"

#include <QFileInfo>
#include <cstdio>

#include "AdminSession.h"
#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/StockCatalogue.h"

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "merrowby-admin: stocks: %s\n", text.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int AdminStocks(const QStringList& args) {
    QString dir, search, add;
    bool searching = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if ((a == QLatin1String("--search") || a == QLatin1String("--add")) && i + 1 < args.size()) {
            (a == QLatin1String("--search") ? search : add) = args.at(++i);
            searching = searching || a == QLatin1String("--search");
        } else if (a.startsWith(QLatin1String("--")) || !dir.isEmpty()) {
            return fail(QStringLiteral("unexpected argument ") + a + QStringLiteral("\nusage: ") +
                        QLatin1String(kAdminStocksUsage));
        } else {
            dir = a;
        }
    }
    if (dir.isEmpty() || searching == !add.isEmpty())
        return fail(QStringLiteral("usage: ") + QLatin1String(kAdminStocksUsage));
    if (!QFileInfo(dir).isDir()) return fail(QStringLiteral("no such directory: ") + dir);
    const StockCatalogue cat = ReadStockCatalogue();
    if (cat.entries.empty()) return fail(QString::fromLatin1(kNoCatalogueMessage));

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
    if (!e) return fail(QStringLiteral("not in the catalogue: ") + add);
    if (!e->refusal.isEmpty()) {
        std::fprintf(stderr, "merrowby-admin: stocks: %s %s cannot be added as a label stock: %s\n",
                     e->maker.toLocal8Bit().constData(), e->part.toLocal8Bit().constData(),
                     e->refusal.toLocal8Bit().constData());
        return 1;
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
