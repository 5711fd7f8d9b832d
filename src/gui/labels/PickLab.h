#pragma once
// The label stock picker: the list from which the setup loop's user chooses the stock to edit,
// or asks for a new one.
//
// Shown modally while LABELS is open. On entry CurrentStockRecNo names the stock to preselect;
// on exit it holds the answer: the chosen row's record number ("Select" or a double click),
// 0 ("New"), or -1 ("Cancel", Escape or the close box). Every row is listed in name order, rows
// marked deleted too, with "<DELETED>" after their name.
//
// "Catalogue…" below the buttons adds a maker's label sheet from the catalogue as a new stock and
// selects it in the list; Select then edits it like any other.

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

class TPickLab : public QDialog {
    Q_OBJECT
public:
    explicit TPickLab(QWidget* parent = nullptr);

    QListWidget* listBox() const { return ListBox1; }
    QPushButton* selectButton() const { return BtnSelect; }
    QPushButton* newButton() const { return BtnNew; }
    QPushButton* cancelButton() const { return BtnCancel; }
    QPushButton* catalogueButton() const { return BtnCatalogue; }

public slots:
    void FormShow();
    void BtnSelectClick();
    void ListBox1DblClick();
    void BtnNewClick();
    void BtnCancelClick();
    // Opens the label catalogue; the sheet chosen there is added to LABELS and made current.
    void BtnCatalogueClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QListWidget* ListBox1 = nullptr;
    QPushButton* BtnSelect = nullptr;
    QPushButton* BtnNew = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnCatalogue = nullptr;
};
