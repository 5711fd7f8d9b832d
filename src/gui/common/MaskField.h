#pragma once
// Masked entry fields of the label dialogs, and the number conversions that go with them.
//
// A MaskField is a QLineEdit with a fixed-width input mask whose unfilled positions show as "_".
// fieldText() gives the text the way the dialogs work with it: every position of the mask, with
// a blank for each unfilled one (so an empty number field reads "    .   "). Entered by Tab,
// Backtab or Enter, the field selects its whole text so that typing replaces it, as a masked
// edit does.
//
// The conversions follow the rules of the program's number parser: blanks around the number
// are allowed, anything else that is not part of the number makes the conversion fail, and the
// failure text quotes the text as given ("'x' is not a valid floating point value").

#include <QLineEdit>
#include <QString>

class MaskField : public QLineEdit {
    Q_OBJECT
public:
    // `mask` is a QLineEdit input mask without the blank-character part (";_" is added).
    explicit MaskField(const QString& mask, QWidget* parent = nullptr);

    QString fieldText() const;                // unfilled positions as blanks
    void setFieldText(const QString& text);   // blanks become unfilled positions

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// The locale's decimal separator (one character).
QChar DecimalSeparator();

// Text without leading and trailing blanks and control characters.
QString TrimControls(const QString& text);

// Converts `text` to a number written with the locale's decimal separator: optional sign,
// digits, optional separator and decimals. Returns false (and leaves *value alone) when the
// text is not such a number.
bool TextToFloat(const QString& text, double* value);
// Converts `text` to a decimal integer with optional sign. False when it is not one.
bool TextToInt(const QString& text, int* value);

// The parser's conversion failure texts.
QString FloatConvertError(const QString& text);  // "'<text>' is not a valid floating point value"
QString IntConvertError(const QString& text);    // "'<text>' is not a valid integer value"
