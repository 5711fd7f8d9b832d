#pragma once
// The rows of the address page's names list: one row per AddrBook record, in index order, with
// the surname and the first name exactly as stored (blank-padded, Windows-1252) and the record
// number. Columns: 0 "Last", 1 "First", 2 the record number as decimal text (the view hides it).
// A row whose card came back shows a small envelope before the surname, with a tooltip; a row
// that shares its address with others (one household) a small house before the first name, with
// a tooltip naming them.
//
// A book of 100,000 names is held in three flat arrays (about 4 MB), and text is converted only
// for the rows the view asks for, so rebuilding the list after every save stays cheap.

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class AddressListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { LastColumn = 0, FirstColumn = 1, RecNoColumn = 2, ColumnCount = 3 };

    // The list contents, gathered by the caller and handed over whole.
    struct Rows {
        int lastWidth = 0;              // bytes per surname in `last`
        int firstWidth = 0;             // bytes per first name in `first`
        std::vector<uint32_t> recNos;   // one per row
        std::string last;               // recNos.size() * lastWidth bytes
        std::string first;              // recNos.size() * firstWidth bytes
        // By row: 1 where a card came back to the address the record still has (empty: none).
        std::vector<uint8_t> returned;
        // By row: the household the row shares its address with, 0 for none (empty: none).
        std::vector<uint32_t> household;

        // Appends one row; the names are cut or blank-padded to the widths.
        void append(uint32_t recNo, std::string_view lastBytes, std::string_view firstBytes);
        size_t size() const { return recNos.size(); }
    };

    explicit AddressListModel(QObject* parent = nullptr);

    // Replaces every row (one model reset).
    void setRows(Rows rows);
    // Removes every row.
    void clear();

    // True when the row carries the returned-card mark.
    bool returnedAt(int row) const;
    // The household of a row (0: it shares its address with nobody).
    uint32_t householdAt(int row) const;
    // "Same address as Ann Lee, Kid Lee": the others of the row's household.
    QString householdTip(int row) const;
    // Record number of a row, 0 when the row is out of range.
    uint32_t recNoAt(int row) const;
    // The first row holding the record, -1 when none does.
    int rowOfRecNo(uint32_t recNo) const;
    // The names of a row as stored (Windows-1252 bytes, padding kept); empty out of range.
    std::string_view lastBytes(int row) const;
    std::string_view firstBytes(int row) const;
    // Bytes held by the row arrays (for the memory figures of the benchmark).
    size_t heapBytes() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Rows rows_;
    // rowOf_[recNo] = first row + 1 holding recNo (0: none); sized to the largest record number.
    std::vector<uint32_t> rowOf_;
};
