#pragma once
// The recipient selection dialog of the "Selected" label run: the whole address book in a grid
// with a seek box; each showing picks one recipient.
//
// The manual run (SelectedLabelRun) opens AddrBook, calls FillGrid once, then, for every pick,
// sets the count with setCount and shows the dialog modally. Afterwards ChosenRecNo holds the
// picked row's record number, or -1 when the user pressed "Print Selected" or closed the window.
// The seek box seeks in AddrBook's name index, so AddrBook must stay open while the dialog shows.
//
// With an empty address book the grid shows only its headers and only "Print Selected" works.

#include <QAbstractTableModel>
#include <QDialog>
#include <QHash>
#include <QString>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The grid's rows: "Last", "First", "City, State" and the hidden record number.
class SelectionGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        QString last, first, cityState;
        int recNo = 0;
    };
    explicit SelectionGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    void setRows(std::vector<Row> rows);
    const Row& row(int i) const { return rows_[size_t(i)]; }
    // The first row holding the record, or -1.
    int rowOfRecNo(int recNo) const { return rowOf_.value(recNo, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<Row> rows_;
    QHash<int, int> rowOf_;
};

class TLabSel : public QDialog {
    Q_OBJECT
public:
    explicit TLabSel(QWidget* parent = nullptr);

    // Fills the grid from AddrBook (open, name index selected) in index order; the current row
    // becomes the first. Leaves AddrBook past its last row.
    void FillGrid();
    // The count of labels picked so far, shown beside the seek box.
    void setCount(int count);

    QTableView* grid() const { return StringGrid1; }
    SelectionGridModel* model() const { return model_; }
    QLineEdit* seekBox() const { return Edit1; }
    QPushButton* selectButton() const { return BtnOK; }
    QPushButton* printButton() const { return BtnCancel; }
    QLabel* countLabel() const { return Label2; }
    // Row of the grid's current row (0-based over the records), -1 when none.
    int currentRow() const;
    QString lastSeekText() const { return LastSeekText; }

public slots:
    void FormShow();
    void BtnOKClick();
    void StringGrid1DblClick();
    void BtnCancelClick();
    void Edit1Change();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeControls();

    SelectionGridModel* model_ = nullptr;
    QTableView* StringGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    QLabel* Label1 = nullptr;  // "Seek:"
    QLabel* Label2 = nullptr;  // the count
    QLabel* Label3 = nullptr;  // "Labels have been selected so far."
    QString LastSeekText;
};
