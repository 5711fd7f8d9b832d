#pragma once
// The label catalogue: makers' label sheets by product number ("Avery 5160"), read from the
// template files of the glabels-data package (/usr/share/libglabels-3.0/templates/).
//
// A rectangular template with one layout becomes a stock in points: margins, label size, gaps
// and labels across. Round, CD and other shapes, and templates laid out in several blocks, are
// skipped and counted. A template that names another as its equivalent takes that one's
// geometry. Paper sizes come from paper-sizes.xml; a template may give its own width and height.
//
// A sheet that a stock row cannot hold whole (ten or more labels across, a length beyond what
// the definition dialog shows) stays in the catalogue with the reason it cannot be added.

#include <QString>
#include <QStringList>
#include <vector>

#include "core/data/DataStatus.h"
#include "core/data/Globals.h"

struct CatalogueEntry {
    QString maker, part, description;
    int perSheet = 0;          // labels a sheet holds
    TLabelRecord stock;        // named "Avery 5160 (30 per sheet)"
    double pageWidth = 0, pageHeight = 0;  // points
    QString refusal;           // why it cannot become a stock; empty when it can
};

struct StockCatalogue {
    std::vector<CatalogueEntry> entries;  // in maker, then part order
    int skipped = 0;                      // templates that are no rectangular sheet layout
    QStringList problems;                 // files that could not be read, with the reason
};

// Where the package puts its templates.
QString DefaultCatalogueDir();
// Reads every *-templates.xml of `dir` (empty: the default). An empty catalogue with a problem
// when the directory or paper-sizes.xml is missing.
StockCatalogue ReadStockCatalogue(const QString& dir = QString());

// A length as the files write it ("2.625in", "23", "5mm", "1cm", "12pc") in points; false when
// the text is not a length.
bool CatalogueLength(const QString& text, double* points);

// The entries whose maker, part, "maker part" or description contain every word of `text`
// (letter case ignored).
std::vector<const CatalogueEntry*> SearchCatalogue(const StockCatalogue& cat, const QString& text);
// The entry called exactly "maker part" (letter case ignored), or null.
const CatalogueEntry* FindCatalogueEntry(const StockCatalogue& cat, const QString& makerPart);

// Why `stock` cannot be stored in LABELS as it is, or empty when it can: its labels across must
// fit the one-digit column (1 to 9) and every length the four whole digits of a dimension.
QString StockRefusal(const TLabelRecord& stock);

// What to tell a user whose system has no catalogue.
extern const char* const kNoCatalogueMessage;

// Adds `stock` to the open LABELS table (LabelsTable) and leaves it the current row; a stock of
// the same name (trimmed, letter case ignored) is not added again but made current. *recNo gets
// its record number, *added whether it was new. A stock with a StockRefusal is not added: the
// failure carries the reason.
DataStatus AddCatalogueStock(const TLabelRecord& stock, int* recNo, bool* added = nullptr);
