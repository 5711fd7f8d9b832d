#pragma once
// merrowby-admin stocks: the label catalogue's sheets, and adding one as a stock.

#include <QStringList>

inline constexpr const char* kAdminStocksUsage =
    "merrowby-admin stocks DIR --search TEXT\n"
    "  merrowby-admin stocks DIR --add \"MAKER PART\"";

int AdminStocks(const QStringList& args);
