#include "gui/common/RunProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {
int redrawMs = 40;
}

void RunProgress::setRedrawInterval(int ms) { redrawMs = ms; }

RunProgress::RunProgress(const QString& title, const QString& label, QWidget* parent)
    : dialog_(std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 0, parent)),
      label_(label) {
    dialog_->setObjectName(QStringLiteral("RunProgress"));
    dialog_->setWindowTitle(title);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(500);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setMinimumWidth(360);
    dialog_->setValue(0);
    sinceRedraw_.start();
}

RunProgress::~RunProgress() = default;

bool RunProgress::update(int done, int total) {
    if (dialog_->wasCanceled()) return false;
    const bool last = total > 0 && done >= total;
    if (!last && sinceRedraw_.elapsed() < redrawMs) return true;
    sinceRedraw_.restart();
    if (total > 0 && dialog_->maximum() != total) dialog_->setMaximum(total);
    dialog_->setLabelText(total > 0 ? QStringLiteral("%1 (%2 of %3)").arg(label_).arg(done).arg(total)
                                    : QStringLiteral("%1 (%2)").arg(label_).arg(done));
    // setValue lets a modal window take its events; the others need them handed out here.
    dialog_->setValue(total > 0 ? std::min(done, total) : 0);
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

bool RunProgress::cancelled() const { return dialog_->wasCanceled(); }

void RunProgress::finish() {
    dialog_->reset();
    dialog_->hide();
}
