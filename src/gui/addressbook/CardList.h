#pragma once
// The small "Cards" list of the address page: the shown person's card events, newest first, one
// row each (year, occasion, kind), and the dialog that adds a received or returned card by hand.
// The Delete key and the context menu's "Remove" ask for the selected event to be removed.

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
    // The event of the selected row, or null.
    const CardEvent* selectedEvent() const;

signals:
    // The user asked for `event` to go from the log.
    void removeRequested(const CardEvent& event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<CardEvent> events_;
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

// How the address page's "Add Card..." asks for the card. The method shows AddCardDialog over
// `owner`; the page reaches it through Installed<CardQuestion> (gui/common/Installed.h), where a
// test installs its own answer.
class CardQuestion {
public:
    virtual ~CardQuestion() = default;
    // True with the answers; false when the user cancelled.
    virtual bool askCard(QWidget* owner, CardKind* kind, int* occasion, int* year);
};
