#include "core/labels/StockCatalogue.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include "core/data/Records.h"
#include "xbase/Library.h"
#include "xbase/Table.h"
#include <algorithm>
#include <cmath>

const char* const kNoCatalogueMessage =
    "The label catalogue is not installed. Install the package glabels-data "
    "(sudo apt-get install glabels-data) and try again.";

namespace {

struct PageSize {
    double width = 0, height = 0;
};

struct Raw {
    QString maker, part, description, equiv, size;
    double pageW = 0, pageH = 0;
    bool shaped = false;   // a rectangle with one layout was found
    bool other = false;    // another shape, or several layouts
    double w = 0, h = 0, x0 = 0, y0 = 0, dx = 0, dy = 0;
    int nx = 0, ny = 0;
};

double attrLength(const QXmlStreamAttributes& a, const char* name, bool* ok) {
    double v = 0;
    if (!CatalogueLength(a.value(QLatin1String(name)).toString(), &v)) *ok = false;
    return v;
}

QString description(const QXmlStreamAttributes& a) {
    const QString d = a.value(QLatin1String("_description")).toString();
    return d.isEmpty() ? a.value(QLatin1String("description")).toString() : d;
}

bool readPapers(const QString& path, QHash<QString, PageSize>* out, QString* problem) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *problem = path + QStringLiteral(": cannot be read");
        return false;
    }
    QXmlStreamReader x(&f);
    while (!x.atEnd()) {
        if (x.readNext() == QXmlStreamReader::StartElement && x.name() == QLatin1String("Paper-size")) {
            bool ok = true;
            PageSize p;
            p.width = attrLength(x.attributes(), "width", &ok);
            p.height = attrLength(x.attributes(), "height", &ok);
            if (ok) out->insert(x.attributes().value(QLatin1String("id")).toString(), p);
        }
    }
    if (x.hasError()) {
        *problem = path + QStringLiteral(": ") + x.errorString();
        return false;
    }
    return true;
}

void readTemplates(const QString& path, std::vector<Raw>* out, QString* problem) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *problem = path + QStringLiteral(": cannot be read");
        return;
    }
    QXmlStreamReader x(&f);
    Raw* cur = nullptr;
    int layouts = 0;
    bool inRect = false;
    while (!x.atEnd()) {
        const QXmlStreamReader::TokenType t = x.readNext();
        if (t == QXmlStreamReader::StartElement) {
            const auto a = x.attributes();
            const auto name = x.name();
            if (name == QLatin1String("Template")) {
                out->push_back(Raw{});
                cur = &out->back();
                cur->maker = a.value(QLatin1String("brand")).toString();
                cur->part = a.value(QLatin1String("part")).toString();
                cur->description = description(a);
                cur->equiv = a.value(QLatin1String("equiv")).toString();
                cur->size = a.value(QLatin1String("size")).toString();
                bool ok = true;
                if (a.hasAttribute(QLatin1String("width"))) {
                    cur->pageW = attrLength(a, "width", &ok);
                    cur->pageH = attrLength(a, "height", &ok);
                }
                layouts = 0;
            } else if (cur && name.startsWith(QLatin1String("Label-"))) {
                inRect = name == QLatin1String("Label-rectangle") && !cur->shaped && !cur->other;
                if (!inRect) {
                    cur->other = true;
                    continue;
                }
                bool ok = true;
                cur->w = attrLength(a, "width", &ok);
                cur->h = attrLength(a, "height", &ok);
                cur->shaped = ok;
                cur->other = !ok;
            } else if (cur && inRect && name == QLatin1String("Layout")) {
                if (++layouts > 1) {
                    cur->other = true;
                    cur->shaped = false;
                    continue;
                }
                bool ok = true;
                cur->nx = a.value(QLatin1String("nx")).toInt();
                cur->ny = a.value(QLatin1String("ny")).toInt();
                cur->x0 = attrLength(a, "x0", &ok);
                cur->y0 = attrLength(a, "y0", &ok);
                cur->dx = a.hasAttribute(QLatin1String("dx")) ? attrLength(a, "dx", &ok) : cur->w;
                cur->dy = a.hasAttribute(QLatin1String("dy")) ? attrLength(a, "dy", &ok) : cur->h;
                if (!ok || cur->nx < 1 || cur->ny < 1) {
                    cur->other = true;
                    cur->shaped = false;
                }
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (x.name().startsWith(QLatin1String("Label-"))) inRect = false;
            if (x.name() == QLatin1String("Template")) cur = nullptr;
        }
    }
    if (x.hasError()) *problem = path + QStringLiteral(": ") + x.errorString();
}

double round3(double v) { return std::round(v * 1000.0) / 1000.0; }
// Margins to the page's far edges are rounded down, so that rounding never costs a row.
double floor3(double v) { return std::floor(v * 1000.0 + 1e-6) / 1000.0; }

}  // namespace

QString DefaultCatalogueDir() { return QStringLiteral("/usr/share/libglabels-3.0/templates"); }

bool CatalogueLength(const QString& text, double* points) {
    static const QRegularExpression re(QStringLiteral("^\\s*([0-9]*\\.?[0-9]+)\\s*(pt|in|mm|cm|pc)?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return false;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    double factor = 1.0;
    if (unit == QLatin1String("in")) factor = 72.0;
    else if (unit == QLatin1String("mm")) factor = 72.0 / 25.4;
    else if (unit == QLatin1String("cm")) factor = 720.0 / 25.4;
    else if (unit == QLatin1String("pc")) factor = 12.0;
    *points = v * factor;
    return true;
}

StockCatalogue ReadStockCatalogue(const QString& dirPath) {
    StockCatalogue cat;
    const QDir dir(dirPath.isEmpty() ? DefaultCatalogueDir() : dirPath);
    QHash<QString, PageSize> papers;
    QString problem;
    if (!dir.exists() || !readPapers(dir.filePath(QStringLiteral("paper-sizes.xml")), &papers, &problem)) {
        cat.problems << (problem.isEmpty() ? dir.path() + QStringLiteral(": no such directory") : problem);
        return cat;
    }
    std::vector<Raw> raws;
    for (const QString& name : dir.entryList({QStringLiteral("*-templates.xml")}, QDir::Files, QDir::Name)) {
        problem.clear();
        readTemplates(dir.filePath(name), &raws, &problem);
        if (!problem.isEmpty()) cat.problems << problem;
    }
    QHash<QString, const Raw*> byName;
    for (const Raw& r : raws)
        if (r.equiv.isEmpty()) byName.insert(r.maker.toUpper() + QLatin1Char(' ') + r.part.toUpper(), &r);

    for (const Raw& r : raws) {
        const Raw* g = &r;
        if (!r.equiv.isEmpty()) g = byName.value(r.maker.toUpper() + QLatin1Char(' ') + r.equiv.toUpper());
        if (!g || !g->shaped || g->other) {
            ++cat.skipped;
            continue;
        }
        double pw = g->pageW, ph = g->pageH;
        if (papers.contains(g->size)) {
            pw = papers[g->size].width;
            ph = papers[g->size].height;
        }
        if (pw <= 0 || ph <= 0) {
            ++cat.skipped;
            continue;
        }
        CatalogueEntry e;
        e.maker = r.maker;
        e.part = r.part;
        e.description = r.description.isEmpty() ? g->description : r.description;
        e.perSheet = g->nx * g->ny;
        e.pageWidth = pw;
        e.pageHeight = ph;
        TLabelRecord& s = e.stock;
        s.Name = QStringLiteral("%1 %2 (%3 per sheet)").arg(r.maker, r.part).arg(e.perSheet).left(40);
        s.Width = round3(g->w);
        s.Height = round3(g->h);
        s.HGap = round3(std::max(0.0, g->dx - g->w));
        s.VGap = round3(std::max(0.0, g->dy - g->h));
        s.LeftM = round3(g->x0);
        s.TopM = round3(g->y0);
        s.RightM = floor3(std::max(0.0, pw - g->x0 - (g->nx - 1) * g->dx - g->w));
        s.BottomM = floor3(std::max(0.0, ph - g->y0 - (g->ny - 1) * g->dy - g->h));
        s.nAcross = g->nx;
        s.Continuous = false;
        e.refusal = StockRefusal(s);
        cat.entries.push_back(std::move(e));
    }
    std::stable_sort(cat.entries.begin(), cat.entries.end(), [](const CatalogueEntry& a, const CatalogueEntry& b) {
        const int c = QString::compare(a.maker, b.maker, Qt::CaseInsensitive);
        if (c != 0) return c < 0;
        return QString::compare(a.part, b.part, Qt::CaseInsensitive) < 0;
    });
    return cat;
}

std::vector<const CatalogueEntry*> SearchCatalogue(const StockCatalogue& cat, const QString& text) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<const CatalogueEntry*> out;
    for (const CatalogueEntry& e : cat.entries) {
        const QString hay = e.maker + QLatin1Char(' ') + e.part + QLatin1Char(' ') + e.description;
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString& w) { return hay.contains(w, Qt::CaseInsensitive); }))
            out.push_back(&e);
    }
    return out;
}

const CatalogueEntry* FindCatalogueEntry(const StockCatalogue& cat, const QString& makerPart) {
    const QString want = makerPart.simplified();
    for (const CatalogueEntry& e : cat.entries)
        if (QString::compare(e.maker + QLatin1Char(' ') + e.part, want, Qt::CaseInsensitive) == 0) return &e;
    return nullptr;
}

QString StockRefusal(const TLabelRecord& stock) {
    constexpr int kMostAcross = 9;             // nAcross has one digit
    constexpr double kLongest = 9999.999;      // a dimension's four whole digits and three decimals
    if (stock.nAcross < 1) return QStringLiteral("It has no labels across.");
    if (stock.nAcross > kMostAcross)
        return QStringLiteral("It has %1 labels across; a label stock holds at most %2.").arg(stock.nAcross).arg(kMostAcross);
    const double lengths[] = {stock.TopM, stock.LeftM, stock.BottomM, stock.RightM,
                              stock.Width, stock.Height, stock.HGap, stock.VGap};
    for (double v : lengths)
        if (!(v >= 0 && v <= kLongest))
            return QStringLiteral("One of its lengths is %1 points; a label stock holds 0 to %2.")
                .arg(QLocale::c().toString(v, 'f', 3), QLocale::c().toString(kLongest, 'f', 3));
    return {};
}

DataStatus AddCatalogueStock(const TLabelRecord& stock, int* recNo, bool* added) {
    *recNo = 0;
    if (added) *added = false;
    const QString refusal = StockRefusal(stock);
    if (!refusal.isEmpty()) return DataStatus::failure(QStringLiteral("LABELS.DBF"), refusal);
    if (!LabelsTable) return DataStatus::failure(QStringLiteral("LABELS.DBF"), QStringLiteral("not open"));
    const QString want = stock.Name.trimmed();
    for (int rc = LabelsTable->top(); rc == xbase::kOk; rc = LabelsTable->skip(1)) {
        if (LabelsTable->deleted()) continue;
        if (QString::compare(QString::fromStdString(LabelsTable->field("Name")->str()).trimmed(), want,
                             Qt::CaseInsensitive) == 0) {
            *recNo = int(LabelsTable->recNo());
            LoadLabelRec();
            LastStatus = 0;
            return DataStatus::Ok();
        }
    }
    const auto failed = [] {
        const xbase::Status s = LibHandle->lastError();
        LibHandle->errorCode();
        return DataStatus::failure(QStringLiteral("LABELS.DBF"), s);
    };
    if (LabelsTable->appendBlank() != 0) return failed();
    LabelRec = stock;
    StoreLabelRec();
    if (LabelsTable->flush() < 0) return failed();
    LastStatus = 0;
    *recNo = int(LabelsTable->recNo());
    if (added) *added = true;
    return DataStatus::Ok();
}
