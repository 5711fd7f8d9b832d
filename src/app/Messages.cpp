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

namespace {

// Shows a box with OK (and Cancel when asked); true when OK was chosen.
bool show(Kind kind, const QString& text, QWidget* parent, Default button = Default::Yes) {
    if (responder()) return responder()(kind, text);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Info:
    case Kind::OkCancel: icon = QMessageBox::Information; break;
    case Kind::Plain: icon = QMessageBox::NoIcon; break;
    case Kind::Error: icon = QMessageBox::Critical; break;
    case Kind::YesNo: icon = QMessageBox::Question; break;
    }
    if (kind == Kind::YesNo) {
        QMessageBox box(icon, boxTitle(), shown(text), QMessageBox::Yes | QMessageBox::No, ownerFor(parent));
        box.setDefaultButton(button == Default::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    const bool choice = kind == Kind::OkCancel;
    QMessageBox box(icon, boxTitle(), shown(text),
                    choice ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, ownerFor(parent));
    if (choice) {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    return box.exec() == QMessageBox::Ok;
}

}  // namespace

void info(const QString& text, QWidget* parent) { (void)show(Kind::Info, text, parent); }
void plain(const QString& text, QWidget* parent) { (void)show(Kind::Plain, text, parent); }
bool okCancel(const QString& text, QWidget* parent) { return show(Kind::OkCancel, text, parent); }
bool yesNo(const QString& text, QWidget* parent, Default button) { return show(Kind::YesNo, text, parent, button); }
void error(const QString& text, QWidget* parent) { (void)show(Kind::Error, text, parent); }

}  // namespace Messages
