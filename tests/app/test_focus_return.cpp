// After a dialog or message box closes, the keyboard is back in the window it was opened from.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "TestData.h"
#include "app/FocusReturn.h"
#include "import/ExportU.h"
#include "labels/LabelGen.h"

namespace {

// Stands in for the user: every few milliseconds answers the modal window in front, as a
// person would once it is up. A message box gets its Escape button (OK, or No).
class Answerer : public QObject {
public:
    explicit Answerer(std::function<void(QWidget*)> other) : other_(std::move(other)) {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(20);
    }

private:
    // Each window is answered once, from the event loop rather than from inside the timer, so
    // that a box the answer opens gets its own answer.
    void answer() {
        QWidget* front = QApplication::activeModalWidget();
        if (!front || !front->isVisible() || front->property("answered").toBool()) return;
        front->setProperty("answered", true);
        QTimer::singleShot(0, front, [this, front] {
            if (auto* box = qobject_cast<QMessageBox*>(front)) {
                if (QAbstractButton* b = box->escapeButton()) b->click();
                else box->reject();
            } else {
                other_(front);
            }
        });
    }
    std::function<void(QWidget*)> other_;
    QTimer timer_;
};

}  // namespace

TEST(FocusReturn, TheWindowADialogWasOpenedFromHasTheKeyboardAgain) {
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFocusReturn();
    TestDataDir data(3);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    QWidget main;
    auto* edit = new QLineEdit(&main);
    main.show();
    main.activateWindow();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    const QString file = QDir(data.path()).filePath(QStringLiteral("out.vcf"));
    const struct {
        const char* what;
        std::function<void()> run;
    } cases[] = {
        // The dialog closes as soon as the box telling the count has gone.
        {"Export Contacts", [&] { ExportContacts1Click(&main); }},
        // The print options close, the labels print, then the question comes with no window
        // active.
        {"the question after a label run",
         [&] {
             QDialog options(&main);
             options.exec();
             OfferMarkSent(1, {CardPick{1, 0}}, 2026);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Answerer user([&](QWidget* front) {
            if (auto* exporter = qobject_cast<TExportContacts*>(front)) {
                exporter->FileName->setText(file);
                exporter->BtnExport->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(front)) {
                dialog->accept();
            }
        });
        c.run();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &main; }, 2000))
            << "active: " << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "none");
        EXPECT_EQ(QApplication::focusWidget(), edit);
    }
    EXPECT_TRUE(QFileInfo::exists(file));  // the export did run to its end
}
