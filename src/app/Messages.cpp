#include "app/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace Messages {

namespace {

Responder& responder() {
    static Responder r;
    return r;
}

// Boxes belong to the active window when the caller names none, so they stay on top of it.
QWidget* ownerFor(QWidget* parent) { return parent ? parent : QApplication::activeWindow(); }

QString boxTitle() {
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Merrowby") : name;
}

// Messages join their lines with "\r\n"; the box wants a plain line feed.
QString shown(const QString& text) {
    QString t = text;
    return t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

void setResponder(Responder r) { responder() = std::move(r); }

void info(const QString& text, QWidget* parent) {
    if (responder()) {
        responder()(Kind::Info, text);
        return;
    }
    QMessageBox box(QMessageBox::Information, boxTitle(), shown(text), QMessageBox::Ok, ownerFor(parent));
    box.exec();
}

bool okCancel(const QString& text, QWidget* parent) {
    if (responder()) return responder()(Kind::OkCancel, text);
    QMessageBox box(QMessageBox::Question, boxTitle(), shown(text), QMessageBox::Ok | QMessageBox::Cancel,
                    ownerFor(parent));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void error(const QString& text, QWidget* parent) {
    if (responder()) {
        responder()(Kind::Error, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, boxTitle(), shown(text), QMessageBox::Ok, ownerFor(parent));
    box.exec();
}

}  // namespace Messages
