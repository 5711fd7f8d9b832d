#pragma once
// The label font preference behind the setup page's "Choose Label Font": the font dialog opens
// on LabelFont (in the face's plain style); whatever it holds when it closes (the font given,
// after Cancel) becomes LabelFont with all its attributes (a plain style as a restart makes it:
// the face at the size, no style name), and its face and point size are stored in the settings
// row, from which start-up takes them again (ApplyLabelFontPreference, gui/shell/Quenlow.h).

#include <QFont>

class QWidget;

// Opens the settings table (ending the program when it cannot), so LibHandle must be set.
void Preferences1Click(QWidget* parent = nullptr);

// How "Choose Label Font" asks for the font. The method shows Qt's font dialog on `current` over
// `owner` and returns its font when it closes (`current` after Cancel); it is reached through
// Installed<FontQuestion> (gui/common/Installed.h), where a test installs its own answer.
class FontQuestion {
public:
    virtual ~FontQuestion() = default;
    virtual QFont askFont(const QFont& current, QWidget* owner);
};

// The style of `family` that is of regular weight, upright and of normal width, whatever the face
// calls it ("Regular", "Book", ...); empty when the face has none or is not installed.
QString PlainStyleName(const QString& family);

// The point size stored for `font` (a pixel-sized font is converted at the screen's density).
int StoredPointSize(const QFont& font);
