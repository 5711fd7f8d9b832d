#include "pages/LabelFontPref.h"

#include "app/Fatal.h"
#include <QFontDialog>
#include <QFontInfo>
#include <cmath>

#include "data/Globals.h"
#include "data/dbFiles.h"

namespace {

QFont qtFontDialog(const QFont& current, QWidget* parent) {
    QFontDialog dlg(current, parent);
    if (dlg.exec() == QDialog::Accepted) return dlg.selectedFont();
    return current;  // after Cancel the dialog still holds the font it was given
}

FontChooser& chooser() {
    static FontChooser c = &qtFontDialog;
    return c;
}

}  // namespace

void SetFontChooser(FontChooser c) { chooser() = c ? std::move(c) : &qtFontDialog; }

int StoredPointSize(const QFont& font) {
    if (font.pointSize() > 0) return font.pointSize();
    if (font.pointSizeF() > 0) return static_cast<int>(std::lround(font.pointSizeF()));
    return QFontInfo(font).pointSize();
}

void Preferences1Click(QWidget* parent) {
    const QFont chosen = chooser()(LabelFont, parent);
    LabelFont = chosen;

    EndUnlessOpened(OpenSettings());
    // Start from the row as stored, so the other settings are written back unchanged.
    if (LastStatus == 0) LoadSettings();
    SettingsRec.FontName = chosen.family();
    SettingsRec.FontSize = StoredPointSize(chosen);
    StoreSettings();
    WriteSucceeded(CloseTable(SettingsTable), parent);
}
