#include "core/labels/LabelFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

#include "core/data/Globals.h"

QString InstallFontSubstitutes() {
    static QString face;
    if (!face.isEmpty()) return face;
    const QStringList installed = QFontDatabase::families();
    // The design face is a Windows sans serif with Arial's widths at 8 points. Liberation Sans and
    // Arimo are drawn to Arial's metrics, so the designed sizes hold their texts as they did;
    // Nimbus Sans (Helvetica's metrics) comes close; the wider DejaVu and Noto faces make the
    // windows fit their texts (gui/common/Fitting.h). MERROWBY_SANS_FACE names a face to try first.
    QStringList candidates{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                           QStringLiteral("Nimbus Sans"),     QStringLiteral("DejaVu Sans"),
                           QStringLiteral("Noto Sans"),       QStringLiteral("FreeSans"),
                           QStringLiteral("Cantarell")};
    const QString wanted = qEnvironmentVariable("MERROWBY_SANS_FACE").trimmed();
    if (!wanted.isEmpty()) candidates.prepend(wanted);
    for (const QString& candidate : candidates) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            face = candidate;
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
