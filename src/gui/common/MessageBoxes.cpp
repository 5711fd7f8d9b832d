#include "gui/common/MessageBoxes.h"

#include <QApplication>
#include <QGridLayout>
#include <QMainWindow>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStatusBar>
#include <utility>

#include "gui/common/FocusReturn.h"
#include "gui/common/Forms.h"

namespace {

// What a title bar takes beside its title: the window's icon, three buttons and their margins.
constexpr int kTitleBarRoom = 140;

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

MessageBoxes& programBoxes() {
    static MessageBoxes boxes;
    return boxes;
}

Prompts* installed = nullptr;

// What UserPrompts hands out: passes every call to the prompts installed when it is made.
class InstalledPrompts final : public Prompts {
public:
    void info(const QString& text) override { target().info(text); }
    bool okCancel(const QString& text) override { return target().okCancel(text); }
    void status(const QString& text) override { target().status(text); }
    void plain(const QString& text) override { target().plain(text); }
    void error(const QString& text) override { target().error(text); }
    bool yesNo(const QString& text, Default button) override { return target().yesNo(text, button); }
    void fatal(const QString& text) override { target().fatal(text); }

private:
    static Prompts& target() { return installed ? *installed : programBoxes(); }
};

}  // namespace

bool MessageBoxes::show(Kind kind, const QString& text, Default button) {
    // Boxes belong to the active window when the caller names none, so they stay on top of it;
    // with none active (a dialog has just closed) to the main window, which then gets the
    // keyboard back.
    QWidget* owner = owner_ ? owner_.data() : OwnerWindow();
    owner_ = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Info:
    case Kind::OkCancel: icon = QMessageBox::Information; break;
    case Kind::Plain: icon = QMessageBox::NoIcon; break;
    case Kind::Error: icon = QMessageBox::Critical; break;
    case Kind::YesNo: icon = QMessageBox::Question; break;
    }
    if (kind == Kind::YesNo) {
        QMessageBox box(icon, boxTitle(), shown(text), QMessageBox::Yes | QMessageBox::No, owner);
        box.setDefaultButton(button == Default::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        roomForTitle(box);
        return box.exec() == QMessageBox::Yes;
    }
    const bool choice = kind == Kind::OkCancel;
    QMessageBox box(icon, boxTitle(), shown(text), choice ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    owner);
    if (choice) {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    roomForTitle(box);
    return box.exec() == QMessageBox::Ok;
}

void MessageBoxes::info(const QString& text) { (void)show(Kind::Info, text); }
bool MessageBoxes::okCancel(const QString& text) { return show(Kind::OkCancel, text); }
void MessageBoxes::plain(const QString& text) { (void)show(Kind::Plain, text); }
void MessageBoxes::error(const QString& text) { (void)show(Kind::Error, text); }
bool MessageBoxes::yesNo(const QString& text, Default button) { return show(Kind::YesNo, text, button); }
void MessageBoxes::fatal(const QString& text) { (void)show(Kind::Info, text); }

void MessageBoxes::status(const QString& text) {
    owner_ = nullptr;
    QMainWindow* frame = MainFrame();
    if (!frame) return;
    if (text.isEmpty())
        frame->statusBar()->clearMessage();
    else
        frame->statusBar()->showMessage(text);
    frame->statusBar()->repaint();
}

Prompts& UserPrompts(QWidget* owner) {
    static InstalledPrompts prompts;
    programBoxes().setOwner(installed ? nullptr : owner);
    return prompts;
}

Prompts* InstallPrompts(Prompts* prompts) { return std::exchange(installed, prompts); }
