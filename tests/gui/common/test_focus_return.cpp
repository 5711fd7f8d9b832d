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
#include "gui/common/FocusReturn.h"
#include "gui/import/ExportContacts.h"
#include "core/labels/LabelGen.h"
#include "gui/labels/OccasionLabelRun.h"

TEST(FocusReturn, TheWindowADialogWasOpenedFromHasTheKeyboardAgain) {
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFocusReturn();
    TestDataDir data(3);
    ScopedLibrary lib(data.path());
    ScopedCurrentDir cwd(data.path());
    QWidget main;
    auto* edit = new QLineEdit(&main);
    main.show();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    // Stands in for the user: answers each modal window once it is up, from the event loop, so
    // that a box the answer opens gets its own answer. A box gets its Escape button (OK, or No).
    const QString file = QDir(data.path()).filePath(QStringLiteral("out.vcf"));
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* front = QApplication::activeModalWidget();
        if (!front || !front->isVisible() || front->property("answered").toBool()) return;
        front->setProperty("answered", true);
        QTimer::singleShot(0, front, [&, front] {
            if (auto* box = qobject_cast<QMessageBox*>(front)) {
                box->escapeButton() ? box->escapeButton()->click() : box->reject();
            } else if (auto* exporter = qobject_cast<TExportContacts*>(front)) {
                exporter->FileName->setText(file);
                exporter->BtnExport->click();
            } else {
                static_cast<QDialog*>(front)->accept();
            }
        });
    });
    user.start(20);

    const struct {
        const char* what;
        std::function<void()> run;
    } cases[] = {
        // The dialog closes as soon as the box telling the count has gone.
        {"Export Contacts", [&] { ExportContacts1Click(&main); }},
        // The print options close, the labels print, then the question comes with none active.
        {"the question after a label run",
         [&] {
             QDialog options(&main);
             options.exec();
             OfferMarkSent(1, {CardPick{1, 0}}, 2026);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.run();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &main; }, 2000));
        EXPECT_EQ(QApplication::focusWidget(), edit);
    }
    EXPECT_TRUE(QFileInfo::exists(file));  // the export did run to its end
}
