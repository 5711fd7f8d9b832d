#pragma once
// The About box: the product's picture over a black-to-blue gradient, with the version in the
// caption. Start-up shows it as a splash (SplashMode set: no button, cannot be closed by the
// user); the Help menu shows it as a dialog with an "OK" button.
//
// Artwork comes from the resources (:/about_title.png, :/merrowby.png, :/ok.png); a missing
// picture leaves the gradient alone.

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QPushButton* LMDButton1 = nullptr;  // "OK"

public slots:
    void EShow();
    void LMDButton1Click();
    void reject() override;  // Escape: ignored while a splash

public:
    // Processes events (no user input) until the box has been painted on screen since it was
    // last shown, or `ms` milliseconds have passed.
    void waitUntilPainted(int ms);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;  // the gradient fill (LMDFill1)

private:
    bool painted_ = false;
};
