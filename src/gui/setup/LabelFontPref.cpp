#include "gui/setup/LabelFontPref.h"

#include "gui/common/Installed.h"
#include "gui/common/Fatal.h"
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <cmath>

#include "core/data/Globals.h"
#include "core/data/Records.h"
#include "core/labels/LabelFont.h"

namespace {

// Words faces use in the names of their narrow and wide styles.
bool namesAWidth(const QString& style) {
    for (const char* w : {"Condensed", "Narrow", "Compressed", "Expanded", "Extended", "Wide"})
        if (style.contains(QLatin1String(w), Qt::CaseInsensitive)) return true;
    return false;
}

// A font of regular weight, upright, normal width, and nothing added.
bool isPlain(const QFont& f) {
    return f.weight() == QFont::Normal && f.style() == QFont::StyleNormal && !f.underline() &&
           !f.strikeOut() && !namesAWidth(f.styleName()) &&
           (f.stretch() == QFont::AnyStretch || f.stretch() == QFont::Unstretched);
}

}  // namespace

QString PlainStyleName(const QString& family) {
    QString found;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::weight(family, style) != QFont::Normal) continue;
        if (QFontDatabase::italic(family, style) || namesAWidth(style)) continue;
        for (const char* usual : {"Regular", "Normal", "Book", "Roman", "Plain"})
            if (style.compare(QLatin1String(usual), Qt::CaseInsensitive) == 0) return style;
        if (found.isEmpty()) found = style;
    }
    return found;
}

namespace {

// Whether `font` is of regular weight and upright (width and decorations aside).
bool upright(const QFont& font) { return font.weight() == QFont::Normal && font.style() == QFont::StyleNormal; }

}  // namespace

QFont FontQuestion::askFont(const QFont& current, QWidget* owner) {
    QFontDialog dlg(current, owner);
    // Choosing a family, the dialog keeps the style name when the new family has it and
    // otherwise takes the family's first style, which for some faces is their oblique ("Book"
    // not being "Regular"). An upright regular style stays upright regular; any other style
    // the user picks stays theirs.
    QString family = dlg.currentFont().family();
    bool wasUpright = upright(dlg.currentFont());
    bool adjusting = false;
    QObject::connect(&dlg, &QFontDialog::currentFontChanged, &dlg, [&](const QFont& font) {
        if (adjusting) return;
        if (font.family() != family && wasUpright && !upright(font)) {
            const QString plain = PlainStyleName(font.family());
            if (!plain.isEmpty()) {
                QFont kept = font;
                kept.setStyleName(plain);
                adjusting = true;
                dlg.setCurrentFont(kept);
                adjusting = false;
                family = font.family();
                return;
            }
        }
        family = font.family();
        wasUpright = upright(font);
    });
    if (dlg.exec() == QDialog::Accepted) return dlg.selectedFont();
    return current;  // after Cancel the dialog still holds the font it was given
}

int StoredPointSize(const QFont& font) {
    if (font.pointSize() > 0) return font.pointSize();
    if (font.pointSizeF() > 0) return static_cast<int>(std::lround(font.pointSizeF()));
    return QFontInfo(font).pointSize();
}

void Preferences1Click(QWidget* parent) {
    // Without a style name the dialog looks for one called Normal or Regular and otherwise
    // takes the face's first style, which may be condensed or italic: name the plain one.
    QFont offered = LabelFont;
    if (offered.styleName().isEmpty() && isPlain(offered)) {
        const QString plain = PlainStyleName(offered.family());
        if (!plain.isEmpty()) offered.setStyleName(plain);
    }
    const QFont chosen = Installed<FontQuestion>::get().askFont(offered, parent);
    if (isPlain(chosen)) {
        // The plain style is what a restart gives for the face and size, so take it as that:
        // the style name would only pick among the face's files by a name they may share.
        QFont font(QString::fromLatin1(kDesignFontFamily), kDesignFontPoints);
        font.setStyleHint(QFont::SansSerif);
        font.setFamily(chosen.family());
        const int points = StoredPointSize(chosen);
        if (points > 0) font.setPointSize(points);
        LabelFont = font;
    } else {
        LabelFont = chosen;
    }

    EndUnlessOpened(OpenSettings());
    // Start from the row as stored, so the other settings are written back unchanged.
    if (LastStatus == 0) LoadSettings();
    SettingsRec.FontName = chosen.family();
    SettingsRec.FontSize = StoredPointSize(chosen);
    StoreSettings();
    WriteSucceeded(CloseTable(SettingsTable), parent);
}
