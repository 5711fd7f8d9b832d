#pragma once
// Texts that keep their designed places whatever face the desktop substitutes. The windows are
// laid out in pixels for an 8-point face; a wider face may need more room than a control was
// given. These grow the control into room that is free, wrap a caption onto a second line, and as
// a last resort elide the text and put the whole of it in the tooltip, so nothing is cut off.

#include <QString>
#include <Qt>
#include <QStringList>

class QAbstractButton;
class QAbstractItemView;
class QComboBox;
class QFontMetrics;
class QLabel;
class QListView;
class QWidget;

// Gives the check box or button at least `designedWidth` and as much more as its text needs, up
// to `maxWidth`; a text that still does not fit is elided, with the whole text as its tooltip.
// `text` is the full caption (the button's own text may already be elided from an earlier call).
void FitButtonText(QAbstractButton* button, const QString& text, int designedWidth, int maxWidth);

// Places a caption that ends at `right` and may begin no further left than `left`, centred on a
// row of `rowHeight` pixels at `rowY`. A caption too long for one line is broken at its blanks
// onto more lines: with `growDown` its first line stays on the row and the others go below,
// otherwise its last line stays on the row and the others go above. A word that cannot fit is
// elided, with the whole text as the tooltip.
void FitCaption(QLabel* label, const QString& text, int left, int right, int rowY, int rowHeight,
                bool growDown);

// True when the control shows its whole text: the text fits in its geometry, or it is elided
// and the tooltip holds the whole text.
bool ShowsWholeText(const QAbstractButton* button, const QString& text);
bool ShowsWholeText(const QLabel* label, const QString& text);

// `text` shortened to `room` pixels with an ellipsis at its end (Qt::ElideRight) or in its middle
// (Qt::ElideMiddle), the cut made between words where a whole word can go: "A4 63.5 x 38.1 mm,…"
// rather than "A4 63.5 x 38.1 mm, 2…". The text itself when it fits.
QString ElideAtBlanks(const QFontMetrics& fm, const QString& text, int room, Qt::TextElideMode mode);

// Makes the open list of a drop-down as wide as its widest entry, however narrow the box. A
// current entry too wide for the closed box shows elided at its end, never cut off in the middle
// of a word, and whole in the box's tooltip (in a box whose text can be typed, whole again while
// the box has the focus). Call again after the entries change.
void FitComboEntries(QComboBox* box);

// The text the closed drop-down shows of its current entry: the entry, or after FitComboEntries
// the entry elided to the box's field when it is too wide for it.
QString ShownComboText(const QComboBox* box);

// Fits a list's entries to its width: no sideways scrolling; each entry shows with its runs of
// blanks as one (padding takes no room) and, when still too wide, elided in its middle between
// words so that both ends show. The whole entry belongs in the item's tooltip, which the caller sets.
void FitListEntries(QListView* list);

// A view whose entries are padded with blanks (texts as a table stores them) shows them without
// the padding, so that a column a little narrower than the padded width elides nothing.
void ShowWithoutPadding(QAbstractItemView* view);

// Every text of the visible labels, buttons, check boxes, radio buttons, group boxes,
// drop-downs and lists under `root` (itself included) that is cut off: wider or taller than its
// control and not elided with the whole text as the tooltip; for a drop-down, a current entry
// that the closed box cuts (wider than its field and not shown elided with the whole as the
// tooltip), or an entry wider than the open list; for a list, an entry wider than the list and
// not shown elided with the whole entry as its tooltip. One line per text, naming the control.
QStringList CutTexts(const QWidget* root);
