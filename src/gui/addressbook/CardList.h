#pragma once
// The small "Cards" list of the address page: the shown person's card events, newest first, one
// row each (year, occasion, kind), and the dialog that adds a received or returned card by hand.

#include <QDialog>
#include <QTableWidget>
#include <vector>

#include "core/data/CardLog.h"

class QComboBox;
class QSpinBox;

class CardList : public QTableWidget {
    Q_OBJECT
public:
    explicit CardList(QWidget* parent = nullptr);
    // Replaces the rows with `events` (already newest first).
    void showEvents(const std::vector<CardEvent>& events);
    // Column widths and row height for the page's font.
    void fitToFont(int rowHeight);
};

// The occasion text of an event: "Christmas / Chanukah", and for occasion 8 the dated entry
// ("Birthday, Etc: Anniversary").
QString CardOccasionText(const CardEvent& e);

// Asks for a received or returned card: kind, occasion 1 to 8 and year (this year to start).
class AddCardDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddCardDialog(QWidget* parent = nullptr);
    CardKind kind() const;
    int occasion() const;
    int year() const;

private:
    QComboBox* kind_;
    QComboBox* occasion_;
    QSpinBox* year_;
};
