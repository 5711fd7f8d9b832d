#pragma once
// A print queue of the system's CUPS scheduler, reached through libcups (no Qt print support):
// the paper it prints on by default, the margins it cannot print in, and the submission of a
// PDF file as a job.
//
// pageLayout() is the paper the queue takes by default (its "media" option, else its
// media-default) with the queue's margins, but never less than 10 points on a side: where Qt's
// printer (printing/QtPrinter.h) keeps its page margins when a queue could print closer to the
// edge. On the same paper the program and the tools therefore agree on where the printable
// corner lies, about which a printer's stored correction is taken (core/print/Calibration.h).
// (Qt's printer starts on A4 whatever the queue's default; on a queue whose default is another
// paper the tools print on that paper, as the queue expects.)

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <optional>

class CupsQueue {
public:
    // The queue called `name` ("queue" or "queue/instance"), with its default paper read. Nothing,
    // with *error saying why, when the scheduler does not answer, has no queue of that name, or
    // the queue names no paper size.
    static std::optional<CupsQueue> named(const QString& name, QString* error);

    const QString& name() const { return name_; }
    // The default paper, as the standard size it matches when it matches one.
    const QPageSize& paper() const { return paper_; }
    // The margins the queue cannot print in, in points, as it reports them.
    const QMarginsF& unprintable() const { return unprintable_; }
    // The page layout to print with (see above), in points.
    QPageLayout pageLayout() const;
    // The least page margin, in points, of Qt's printer.
    static constexpr double kLeastMarginPt = 10;

    // Submits `pdfFile` as one job called `title`, on the queue's paper, one-sided (label sheets
    // have no back). The job's number, or 0 with *error set when the scheduler refused it.
    int submit(const QString& pdfFile, const QString& title, QString* error) const;

private:
    QString name_;
    QString media_;  // the paper's PWG name ("iso_a4_210x297mm"), given to each job
    QPageSize paper_;
    QMarginsF unprintable_;
};
