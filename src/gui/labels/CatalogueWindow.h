#pragma once
// The label catalogue window: a searchable list of the makers' label sheets, from which the
// stock picker adds one as a new stock.
//
// The catalogue is read once, on the first showing, and kept for the rest of the session. Every
// word typed in the search line must occur in the maker, the part number or the description.
// "Add Stock" (Enter, or a double click on an entry) leaves the window with chosen() set. A sheet
// that cannot become a stock is greyed with its reason in the tip and, when selected, in the
// line below the list; choosing it says why and leaves the window open.

#include <QDialog>

#include "core/labels/StockCatalogue.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class CatalogueModel;

class TCatalogueWindow : public QDialog {
    Q_OBJECT
public:
    // Reads `catalogue` (already loaded; the window keeps a reference to it).
    explicit TCatalogueWindow(const StockCatalogue& catalogue, QWidget* parent = nullptr);

    // The entry added, or null when the window was cancelled.
    const CatalogueEntry* chosen() const { return chosen_; }

    QLineEdit* searchField() const { return search_; }
    QTableView* table() const { return table_; }
    QPushButton* addButton() const { return add_; }
    QLabel* countLabel() const { return count_; }

    // Lists the entries that match `text`.
    void filter(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose();
    const CatalogueEntry* selectedEntry() const;
    // The Add button and the line below the list for the entry selected.
    void showSelected();

    const StockCatalogue& cat_;
    const CatalogueEntry* chosen_ = nullptr;
    QLineEdit* search_ = nullptr;
    QTableView* table_ = nullptr;
    CatalogueModel* model_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* add_ = nullptr;
};

// The catalogue of this system, read on first use; null when it could not be read (then
// *problem says why, e.g. kNoCatalogueMessage).
const StockCatalogue* SystemCatalogue(QString* problem);

// A label's size as the list shows it: "2.63 × 1.00 in (66.7 × 25.4 mm)".
QString CatalogueLabelSize(const TLabelRecord& stock);
