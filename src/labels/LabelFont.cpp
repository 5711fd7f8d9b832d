#include "labels/LabelFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

#include "data/Globals.h"

QString InstallFontSubstitutes() {
    static QString face;
    if (!face.isEmpty()) return face;
    const QStringList installed = QFontDatabase::families();
    // Liberation Sans keeps the widths of the usual Windows faces; the others are close enough.
    for (const char* candidate : {"Liberation Sans", "DejaVu Sans", "Noto Sans", "FreeSans",
                                  "Nimbus Sans", "Cantarell"}) {
        if (installed.contains(QString::fromLatin1(candidate), Qt::CaseInsensitive)) {
            face = QString::fromLatin1(candidate);
            break;
        }
    }
    if (face.isEmpty()) face = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    const QString design = QString::fromLatin1(kDesignFontFamily);
    if (!installed.contains(design, Qt::CaseInsensitive) && face != design)
        QFont::insertSubstitution(design, face);
    return face;
}

void ApplyLabelFontPreference() {
    InstallFontSubstitutes();
    QFont font(QString::fromLatin1(kDesignFontFamily), kDesignFontPoints);
    font.setStyleHint(QFont::SansSerif);
    const QString face = SettingsRec.FontName.trimmed();
    if (!face.isEmpty()) font.setFamily(face);
    if (SettingsRec.FontSize > 0) font.setPointSize(SettingsRec.FontSize);
    LabelFont = font;
}
