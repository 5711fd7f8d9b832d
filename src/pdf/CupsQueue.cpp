#include "pdf/CupsQueue.h"

#include <QSizeF>
#include <cups/cups.h>
#include <algorithm>
#include <memory>

namespace {

// Points in hundredths of a millimetre, the unit CUPS gives sizes and margins in.
double pointsOf(int hundredthsMm) { return hundredthsMm * 72.0 / 2540.0; }

struct Dests {
    cups_dest_t* list = nullptr;
    int count = 0;
    ~Dests() { cupsFreeDests(count, list); }
};

struct Info {
    cups_dinfo_t* info = nullptr;
    ~Info() {
        if (info) cupsFreeDestInfo(info);
    }
};

QString lastCupsError() { return QString::fromUtf8(cupsLastErrorString()); }

// A media name of any of the forms CUPS knows (PWG "iso_a4_210x297mm", PPD "A4", legacy "a4").
pwg_media_t* mediaNamed(const char* name) {
    if (!name || !*name) return nullptr;
    if (pwg_media_t* m = pwgMediaForPWG(name)) return m;
    if (pwg_media_t* m = pwgMediaForLegacy(name)) return m;
    return pwgMediaForPPD(name);
}

}  // namespace

std::optional<CupsQueue> CupsQueue::named(const QString& name, QString* error) {
    const QByteArray queue = name.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = name.section(QLatin1Char('/'), 1).toUtf8();
    Dests dests;
    dests.count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests.list);
    cups_dest_t* dest = cupsGetDest(queue.constData(), instance.isEmpty() ? nullptr : instance.constData(),
                                    dests.count, dests.list);
    if (!dest) {
        *error = QStringLiteral("no printer named ") + name + QStringLiteral(" on this system");
        return std::nullopt;
    }
    Info info;
    info.info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info.info) {
        *error = QStringLiteral("the printer ") + name + QStringLiteral(" does not answer: ") + lastCupsError();
        return std::nullopt;
    }
    // The paper the queue was set to (lpoptions -o media=...), else the one it takes by default.
    // cupsGetDestMediaDefault is not used: without a media option it answers US Letter.
    const char* media = cupsGetOption("media", dest->num_options, dest->options);
    if (!media) {
        ipp_attribute_t* d = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info.info, "media");
        media = d ? ippGetString(d, 0, nullptr) : nullptr;
    }
    pwg_media_t* pwg = mediaNamed(media);
    if (!pwg) {
        *error = QStringLiteral("the printer ") + name + QStringLiteral(" names no paper size");
        return std::nullopt;
    }
    CupsQueue q;
    q.name_ = name;
    q.media_ = QString::fromUtf8(pwg->pwg);
    cups_size_t size{};
    if (cupsGetDestMediaBySize(CUPS_HTTP_DEFAULT, dest, info.info, pwg->width, pwg->length, CUPS_MEDIA_FLAGS_DEFAULT,
                               &size)) {
        q.unprintable_ = QMarginsF(pointsOf(size.left), pointsOf(size.top), pointsOf(size.right), pointsOf(size.bottom));
    } else {
        // A size the queue does not list with margins: the whole sheet.
        size.width = pwg->width;
        size.length = pwg->length;
    }
    // CUPS rounds a size to hundredths of a millimetre (A4 is 209.90 x 297.04): the standard
    // size it is within a point or two of is the paper meant.
    q.paper_ = QPageSize(QSizeF(size.width / 100.0, size.length / 100.0), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    return q;
}

QPageLayout CupsQueue::pageLayout() const {
    const auto least = [](double m) { return std::max(m, kLeastMarginPt); };
    const QMarginsF margins(least(unprintable_.left()), least(unprintable_.top()), least(unprintable_.right()),
                            least(unprintable_.bottom()));
    return QPageLayout(paper_, QPageLayout::Portrait, margins, QPageLayout::Point);
}

int CupsQueue::submit(const QString& pdfFile, const QString& title, QString* error) const {
    const QByteArray queue = name_.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray media = media_.toUtf8();
    cups_option_t* options = nullptr;
    int count = cupsAddOption("media", media.constData(), 0, &options);
    count = cupsAddOption("sides", "one-sided", count, &options);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), pdfFile.toLocal8Bit().constData(),
                                   title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job == 0) *error = QStringLiteral("the printer ") + name_ + QStringLiteral(" refused the job: ") + lastCupsError();
    return job;
}
