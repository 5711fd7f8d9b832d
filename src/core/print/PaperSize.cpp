#include "core/print/PaperSize.h"

#include <QFile>
#include <QSizeF>
#include <QStringList>
#include <QTextStream>

#ifdef __GLIBC__
#include <langinfo.h>
#include <locale.h>
#include <cstdint>
#endif

namespace {

struct Named {
    const char* name;
    QPageSize::PageSizeId id;
};
// libpaper's names for the sheets a label printer takes.
constexpr Named kPapers[] = {
    {"A4", QPageSize::A4},         {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal},
    {"A5", QPageSize::A5},         {"A3", QPageSize::A3},         {"B5", QPageSize::B5},
    {"Executive", QPageSize::Executive}, {"Tabloid", QPageSize::Tabloid}, {"Ledger", QPageSize::Ledger},
};

// The first name in a libpaper paper file (lines starting with # are comments).
std::optional<QPageSize> fromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        return PaperSizeNamed(line);
    }
    return std::nullopt;
}

std::optional<QPageSize> fromLocale() {
#ifdef __GLIBC__
    // Only a locale the user chose: the C locale's paper (A4) says nothing about where they are.
    QByteArray name = qgetenv("LC_ALL");
    if (name.isEmpty()) name = qgetenv("LC_PAPER");
    if (name.isEmpty()) name = qgetenv("LANG");
    if (name.isEmpty() || name == "C" || name == "POSIX" || name.startsWith("C.")) return std::nullopt;
    locale_t loc = newlocale(LC_PAPER_MASK, "", locale_t(0));
    if (!loc) return std::nullopt;
    const int width = int(intptr_t(nl_langinfo_l(_NL_PAPER_WIDTH, loc)));
    const int height = int(intptr_t(nl_langinfo_l(_NL_PAPER_HEIGHT, loc)));
    freelocale(loc);
    if (width <= 0 || height <= 0) return std::nullopt;
    const QPageSize::PageSizeId id = QPageSize::id(QSizeF(width, height), QPageSize::Millimeter, QPageSize::FuzzyMatch);
    if (id == QPageSize::Custom) return std::nullopt;
    return QPageSize(id);
#else
    return std::nullopt;
#endif
}

}  // namespace

std::optional<QPageSize> PaperSizeNamed(const QString& name) {
    const QString n = name.trimmed();
    for (const Named& p : kPapers)
        if (n.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) return QPageSize(p.id);
    return std::nullopt;
}

QPageSize DefaultPaperSize() {
    if (const auto p = PaperSizeNamed(QString::fromLocal8Bit(qgetenv("PAPERSIZE")))) return *p;
    const QByteArray conf = qgetenv("PAPERCONF");
    if (const auto p = fromFile(conf.isEmpty() ? QStringLiteral("/etc/papersize") : QString::fromLocal8Bit(conf)))
        return *p;
    if (const auto p = fromLocale()) return *p;
    return QPageSize(QPageSize::Letter);
}

QString PaperSizeNames() {
    QStringList names;
    for (const Named& p : kPapers) names << QLatin1String(p.name);
    return names.join(QStringLiteral(", "));
}
