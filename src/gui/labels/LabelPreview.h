#pragma once
// The label preview window: one page of a run at a time, drawn to scale with the stock's label
// outlines in light grey; page n of m, previous / next, fit and 100 %, Print and Close.
//
// The window holds one page: each showing streams the run onto a PageCapture up to that page.
// Page 1 is drawn first; the run is then counted once, to the end, for "page n of m", under the
// progress window; when the count is cancelled the window stays on page 1, "Page 1" alone.

#include <QDialog>
#include <functional>

#include "core/labels/PageCapture.h"

class QLabel;
class QPushButton;
class QScrollArea;
class PreviewPageView;

class TLabelPreview : public QDialog {
    Q_OBJECT
public:
    // `run` lays the whole run out onto the printer it is given, reporting its reading to the
    // progress it is given (empty but for the count) and stopping when that asks; `metrics` is
    // the printer the run would print on (geometry and fonts); `print` prints the run for real.
    using Run = std::function<void(Printer&, const BookProgress&)>;
    TLabelPreview(Run run, Printer& metrics, const TLabelRecord& stock,
                  std::function<void()> print, QWidget* parent = nullptr);

    int page() const { return page_.number; }
    // The run's pages (counted first if the window has not yet done so).
    int pageCount() { countPages(); return pages_; }
    const PreviewPage& pageModel() const { return page_; }
    void showPage(int n);
    void setFit(bool fit);
    // Runs the whole run once to count its pages; nothing after the first time.
    void countPages();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPosition();

    Run run_;
    Printer& metrics_;
    std::function<void()> print_;
    PreviewPage page_;
    int pages_ = 0;
    bool counted_ = false;
    bool countCancelled_ = false;
    bool fit_ = true;
    QLabel* pageLabel_ = nullptr;
    QPushButton* prev_ = nullptr;
    QPushButton* next_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    PreviewPageView* view_ = nullptr;
};
