#include "core/import/ContactFormats.h"

#include <algorithm>
#include <map>

#include "core/data/Schema.h"
#include "xbase/Cp1252.h"

// --- fitting into the table -------------------------------------------------------------------

namespace {

// US states and territories and Canadian provinces and territories written out, by their codes.
const char* const kRegionCodes[][2] = {
    {"ALABAMA", "AL"}, {"ALASKA", "AK"}, {"ARIZONA", "AZ"}, {"ARKANSAS", "AR"}, {"CALIFORNIA", "CA"},
    {"COLORADO", "CO"}, {"CONNECTICUT", "CT"}, {"DELAWARE", "DE"}, {"DISTRICT OF COLUMBIA", "DC"},
    {"FLORIDA", "FL"}, {"GEORGIA", "GA"}, {"HAWAII", "HI"}, {"IDAHO", "ID"}, {"ILLINOIS", "IL"},
    {"INDIANA", "IN"}, {"IOWA", "IA"}, {"KANSAS", "KS"}, {"KENTUCKY", "KY"}, {"LOUISIANA", "LA"},
    {"MAINE", "ME"}, {"MARYLAND", "MD"}, {"MASSACHUSETTS", "MA"}, {"MICHIGAN", "MI"},
    {"MINNESOTA", "MN"}, {"MISSISSIPPI", "MS"}, {"MISSOURI", "MO"}, {"MONTANA", "MT"},
    {"NEBRASKA", "NE"}, {"NEVADA", "NV"}, {"NEW HAMPSHIRE", "NH"}, {"NEW JERSEY", "NJ"},
    {"NEW MEXICO", "NM"}, {"NEW YORK", "NY"}, {"NORTH CAROLINA", "NC"}, {"NORTH DAKOTA", "ND"},
    {"OHIO", "OH"}, {"OKLAHOMA", "OK"}, {"OREGON", "OR"}, {"PENNSYLVANIA", "PA"},
    {"RHODE ISLAND", "RI"}, {"SOUTH CAROLINA", "SC"}, {"SOUTH DAKOTA", "SD"}, {"TENNESSEE", "TN"},
    {"TEXAS", "TX"}, {"UTAH", "UT"}, {"VERMONT", "VT"}, {"VIRGINIA", "VA"}, {"WASHINGTON", "WA"},
    {"WEST VIRGINIA", "WV"}, {"WISCONSIN", "WI"}, {"WYOMING", "WY"}, {"PUERTO RICO", "PR"},
    {"GUAM", "GU"}, {"AMERICAN SAMOA", "AS"}, {"NORTHERN MARIANA ISLANDS", "MP"},
    {"U.S. VIRGIN ISLANDS", "VI"}, {"VIRGIN ISLANDS", "VI"},
    {"ALBERTA", "AB"}, {"BRITISH COLUMBIA", "BC"}, {"MANITOBA", "MB"}, {"NEW BRUNSWICK", "NB"},
    {"NEWFOUNDLAND AND LABRADOR", "NL"}, {"NEWFOUNDLAND", "NL"}, {"NOVA SCOTIA", "NS"},
    {"NORTHWEST TERRITORIES", "NT"}, {"NUNAVUT", "NU"}, {"ONTARIO", "ON"},
    {"PRINCE EDWARD ISLAND", "PE"}, {"QUEBEC", "QC"}, {"QU\xC3\x89" "BEC", "QC"}, {"SASKATCHEWAN", "SK"},
    {"YUKON", "YT"},
};

// The State column's text for a region given in full: as it is when it fits the column
// (dots and blanks of "N.Y." dropped), the code of a region written out, else empty.
QString fittedRegion(const QString& region, size_t width, bool* leftOut) {
    *leftOut = false;
    if (region.isEmpty() || xbase::cp1252::fromUtf8(region.toStdString()).size() <= width) return region;
    QString letters = region;
    letters.remove(QLatin1Char('.')).remove(QLatin1Char(' '));
    if (!letters.isEmpty() && xbase::cp1252::fromUtf8(letters.toStdString()).size() <= width) return letters;
    const QString upper = region.simplified().toUpper();
    for (const auto& [name, code] : kRegionCodes)
        if (upper == QString::fromUtf8(name)) return QString::fromLatin1(code);
    *leftOut = true;
    return QString();
}

}  // namespace

int FitToAddrBook(TAddressRecord& rec, bool* regionLeftOut) {
    static const std::map<QString, int> widths = [] {
        std::map<QString, int> w;
        for (const xbase::FieldSpec& f : DataTables().front().fields)
            if (f.type == 'C') w[QString::fromStdString(f.name)] = f.length;
        return w;
    }();
    int replaced = 0;
    const std::pair<const char*, QString*> fields[] = {
        {"First", &rec.First}, {"Last", &rec.Last},   {"Street", &rec.Street},   {"Street2", &rec.Street2},
        {"City", &rec.City},   {"State", &rec.State}, {"Zip", &rec.Zip},         {"Country", &rec.Country},
        {"email", &rec.email}, {"phone", &rec.phone}, {"fax", &rec.fax},         {"mobile", &rec.mobile}};
    bool leftOut = false;
    if (const auto w = widths.find(QStringLiteral("State")); w != widths.end())
        rec.State = fittedRegion(rec.State.trimmed(), size_t(w->second), &leftOut);
    if (regionLeftOut) *regionLeftOut = leftOut;
    for (const auto& [name, text] : fields) {
        const std::string utf8 = text->toStdString();
        std::string bytes = xbase::cp1252::fromUtf8(utf8);
        const auto before = std::count(utf8.begin(), utf8.end(), '?');
        replaced += int(std::count(bytes.begin(), bytes.end(), '?') - before);
        const auto w = widths.find(QLatin1String(name));
        if (w != widths.end() && bytes.size() > size_t(w->second)) bytes.resize(size_t(w->second));
        *text = QString::fromStdString(xbase::cp1252::toUtf8(bytes)).trimmed();
    }
    return replaced;
}

bool HasUsableLastName(const TAddressRecord& rec) {
    int n = 0;
    for (QChar c : rec.Last.trimmed())
        if (!c.isLowSurrogate()) ++n;
    return n >= 2;
}

std::string DuplicateKey(const TAddressRecord& rec) {
    std::string key;
    for (const QString* t : {&rec.Last, &rec.First, &rec.Street}) {
        key += xbase::cp1252::fromUtf8(t->trimmed().toStdString());
        key += '\x1F';
    }
    xbase::cp1252::upperInPlace(key);
    return key;
}
