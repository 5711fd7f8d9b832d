#pragma once
// The progress window of a long run (an import, an export): it appears only when the run lasts
// longer than a moment, shows how far the run has come, and its Cancel button asks the run to
// stop before its next row. Runs call update() as often as they like; the window is redrawn at
// most every few hundredths of a second, so a run of 100,000 rows is not slowed by it.

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

class RunProgress {
public:
    // A busy bar until update() gives a total.
    RunProgress(const QString& title, const QString& label, QWidget* parent);
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // `done` of `total` rows (total 0: not known). False once Cancel was pressed.
    bool update(int done, int total = 0);
    bool cancelled() const;
    // Takes the window away (the run has ended).
    void finish();
    QProgressDialog* dialog() const { return dialog_.get(); }

    // How often the window is redrawn at most (40 ms); tests set 0 to see every step.
    static void setRedrawInterval(int ms);

private:
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer sinceRedraw_;
    QString label_;
};
