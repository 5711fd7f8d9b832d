#include "gui/common/Messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "gui/common/FocusReturn.h"

namespace Messages {

namespace {

// What a title bar takes beside its title: the window's icon, three buttons and their margins.
constexpr int kTitleBarRoom = 140;

Responder& responder() {
    static Responder r;
    return r;
}

// Boxes belong to the active window when the caller names none, so they stay on top of it; with
// none active (a dialog has just closed) to the main window, which then gets the keyboard back.
QWidget* ownerFor(QWidget* parent) { return parent ? parent : OwnerWindow(); }

QString boxTitle() {
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Merrowby") : name;
}

// The window manager draws the title in a bold face beside the window's icon and its buttons;
// a box with a short message would be too narrow for it ("M...y"). Makes the box wide enough.
void roomForTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont bold = box.font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
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
        roomForTitle(box);
        return box.exec() == QMessageBox::Yes;
    }
    const bool choice = kind == Kind::OkCancel;
    QMessageBox box(icon, boxTitle(), shown(text),
                    choice ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, ownerFor(parent));
    if (choice) {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    roomForTitle(box);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace

void info(const QString& text, QWidget* parent) { (void)show(Kind::Info, text, parent); }
void plain(const QString& text, QWidget* parent) { (void)show(Kind::Plain, text, parent); }
bool okCancel(const QString& text, QWidget* parent) { return show(Kind::OkCancel, text, parent); }
bool yesNo(const QString& text, QWidget* parent, Default button) { return show(Kind::YesNo, text, parent, button); }
void error(const QString& text, QWidget* parent) { (void)show(Kind::Error, text, parent); }

}  // namespace Messages
