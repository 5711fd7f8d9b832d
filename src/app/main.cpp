// Program entry: the windows are made once, the main window is shown (which runs the start-up
// sequence) and the event loop runs until the main window closes.
#include <QApplication>
#include <QIcon>

#include "gui/common/Forms.h"
#include "gui/shell/Quenlow.h"
#include "version.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Merrowby"));
    QApplication::setApplicationVersion(QStringLiteral(MERROWBY_VERSION_TEXT));
    QApplication::setOrganizationName(QStringLiteral("Brantix"));
    CreateForms();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/merrowby.png")));
    Quenlow->show();
    return app.exec();
}
