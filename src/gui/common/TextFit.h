#pragma once
// Texts the tables can hold. The tables keep Windows-1252 text, in which a character outside
// that set is stored as '?'. The boxes say so rather than let the character vanish.

#include <QString>
#include <QValidator>

// The distinct characters of `text` that Windows-1252 cannot hold, in order of appearance; empty
// when the whole text can be stored as it is.
QString UnstorableCharacters(const QString& text);

// The status bar text for characters replaced with '?' on storing.
QString ReplacedCharactersText(const QString& characters);

// Refuses, while typing or pasting, any character that Windows-1252 cannot hold.
class StorableTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
