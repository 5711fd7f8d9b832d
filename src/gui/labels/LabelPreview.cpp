#include "gui/labels/LabelPreview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "core/labels/PreviewPaint.h"
#include "gui/common/BusyCursor.h"
#include "gui/common/RunProgress.h"

class PreviewPageView : public QWidget {
public:
    PreviewPageView(const PreviewPage& page, Printer& metrics) : page_(page), m_(metrics) {}
    // Called once, after the first time the page has been drawn.
    std::function<void()> firstDrawn;
    // Screen pixels per dot.
    void setZoom(double z) {
        zoom_ = z;
        const QSize s = m_.physicalPageSize();
        setFixedSize(int(s.width() * z) + 1, int(s.height() * z) + 1);
        update();
    }
    double zoomFor100() const { return logicalDpiX() / double(std::max(1, m_.dpiX())); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        PaintPreviewPage(p, page_, m_, zoom_);
        if (firstDrawn) QTimer::singleShot(0, this, std::exchange(firstDrawn, nullptr));
    }

private:
    const PreviewPage& page_;
    Printer& m_;
    double zoom_ = 0.2;
};

TLabelPreview::TLabelPreview(Run run, Printer& metrics, const TLabelRecord& stock,
                             std::function<void()> print, QWidget* parent)
    : QDialog(parent), run_(std::move(run)), metrics_(metrics), print_(std::move(print)) {
    setWindowTitle(QStringLiteral("Label Preview"));
    page_.outlines = LabelOutlines(stock, metrics);
    auto* top = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    prev_ = new QPushButton(QStringLiteral("< &Previous"), this);
    next_ = new QPushButton(QStringLiteral("&Next >"), this);
    pageLabel_ = new QLabel(this);
    auto* fit = new QPushButton(QStringLiteral("&Fit"), this);
    auto* full = new QPushButton(QStringLiteral("&100 %"), this);
    auto* printBtn = new QPushButton(QStringLiteral("P&rint"), this);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    for (QWidget* w : {static_cast<QWidget*>(prev_), static_cast<QWidget*>(pageLabel_),
                       static_cast<QWidget*>(next_), static_cast<QWidget*>(fit), static_cast<QWidget*>(full)})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(printBtn);
    bar->addWidget(close);
    top->addLayout(bar);
    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignCenter);
    view_ = new PreviewPageView(page_, metrics_);
    scroll_->setWidget(view_);
    top->addWidget(scroll_, 1);
    resize(640, 760);
    connect(prev_, &QPushButton::clicked, this, [this] { showPage(page_.number - 1); });
    connect(next_, &QPushButton::clicked, this, [this] { showPage(page_.number + 1); });
    connect(fit, &QPushButton::clicked, this, [this] { setFit(true); });
    connect(full, &QPushButton::clicked, this, [this] { setFit(false); });
    connect(printBtn, &QPushButton::clicked, this, [this] {
        if (print_) print_();
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Page Down and Page Up turn the pages wherever the focus is.
    auto* down = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    auto* up = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(down, &QShortcut::activated, this, [this] { if (next_->isEnabled()) showPage(page_.number + 1); });
    connect(up, &QShortcut::activated, this, [this] { if (prev_->isEnabled()) showPage(page_.number - 1); });
    showPage(1);
    view_->firstDrawn = [this] { countPages(); };  // once the first page is on the screen
}

void TLabelPreview::countPages() {
    if (counted_) return;
    // The whole run once, keeping nothing, to know how many pages it has.
    PageCapture capture(metrics_, 0);
    RunProgress progress(QStringLiteral("Counting Pages"), QStringLiteral("Reading the address book, rows"), this);
    {
        BusyCursor busy;
        if (run_) run_(capture, [&progress](int done, int total) { return progress.update(done, total); });
    }
    const bool cancelled = progress.cancelled();  // finishing clears it
    progress.finish();
    if (cancelled) {
        countCancelled_ = true;
        showPosition();
        return;
    }
    pages_ = capture.pages();
    counted_ = true;
    showPosition();
}

void TLabelPreview::showPage(int n) {
    // Page 1 shows before the run is counted, so that even a long run opens at once; any other
    // page needs the count to stay within the run.
    if (n != 1) {
        countPages();
        if (!counted_) return;  // the count was cancelled
    }
    if (counted_) n = std::clamp(n, 1, std::max(1, pages_));
    n = std::max(1, n);
    PageCapture capture(metrics_, n);
    capture.stopAfterWanted();
    if (run_) run_(capture, {});
    page_.number = n;
    page_.texts = capture.texts();
    page_.lines = capture.lines();
    showPosition();
    setFit(fit_);
}

void TLabelPreview::showPosition() {
    const int n = page_.number;
    pageLabel_->setText(counted_          ? QStringLiteral("Page %1 of %2").arg(n).arg(std::max(1, pages_))
                        : countCancelled_ ? QStringLiteral("Page %1").arg(n)
                                          : QStringLiteral("Page %1 of \u2026").arg(n));
    prev_->setEnabled(n > 1);
    next_->setEnabled(!counted_ || n < pages_);
}

void TLabelPreview::setFit(bool fit) {
    fit_ = fit;
    if (fit) {
        // The dialog less its button bar and margins (the scroll area may not be laid out yet).
        const QSize area = size() - QSize(40, 80);
        const QSize page = metrics_.physicalPageSize();
        view_->setZoom(std::min(area.width() / double(std::max(1, page.width())),
                                area.height() / double(std::max(1, page.height()))));
    } else {
        view_->setZoom(view_->zoomFor100());
    }
}

void TLabelPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (fit_) setFit(true);  // the page follows the window's size
}
