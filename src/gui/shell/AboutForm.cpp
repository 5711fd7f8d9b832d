#include "gui/shell/AboutForm.h"
#include "gui/common/Placement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "gui/shell/Quenlow.h"
#include "core/data/Globals.h"

namespace {

constexpr int kClientWidth = 370;
constexpr int kClientHeight = 298;
constexpr int kGradientSteps = 128;

// The title picture is drawn transparently: its background colour (that of the bottom-left
// pixel, black in our artwork) lets the gradient through. On a screen of more than one device
// pixel per pixel the picture drawn at twice the size (NAME@2x.png) is taken when there is one.
QPixmap transparentPicture(const QString& path, qreal devicePixelRatio) {
    QImage img;
    if (devicePixelRatio > 1.0) {
        QString twice = path;
        img.load(twice.insert(twice.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x")));
        if (!img.isNull()) img.setDevicePixelRatio(2.0);
    }
    if (img.isNull()) img.load(path);
    if (img.isNull()) return {};
    if (!img.hasAlphaChannel()) {
        const QRgb key = img.pixel(0, img.height() - 1);
        img = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    LoadResources();
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    // A caption without any buttons: no system menu, minimise, maximise or close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(QIcon(QStringLiteral(":/merrowby.png")));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(88, 8, 210, 240);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setPixmap(transparentPicture(QStringLiteral(":/about_title.png"), devicePixelRatioF()));
    Image1->setScaledContents(true);

    LMDButton1 = new QPushButton(QStringLiteral("OK"), this);
    LMDButton1->setObjectName(QStringLiteral("LMDButton1"));
    LMDButton1->setGeometry(160, 256, 67, 30);
    LMDButton1->setIcon(QIcon(QStringLiteral(":/ok.png")));
    LMDButton1->setDefault(true);
    connect(LMDButton1, &QPushButton::clicked, this, &TAboutForm::LMDButton1Click);
}

void TAboutForm::EShow() {
    setWindowTitle(QStringLiteral("About Merrowby ") + VersionText);
    LMDButton1->setVisible(!SplashMode);
}

void TAboutForm::LMDButton1Click() { accept(); }

void TAboutForm::reject() {
    if (SplashMode) return;
    QDialog::reject();
}

void TAboutForm::showEvent(QShowEvent* event) {
    painted_ = false;
    EShow();
    CentreOnScreen(this);
    QDialog::showEvent(event);
}

void TAboutForm::closeEvent(QCloseEvent* event) {
    // As a splash the box goes away only when start-up hides it.
    if (SplashMode) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TAboutForm::waitUntilPainted(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!(painted_ && windowHandle() && windowHandle()->isExposed()) && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!painted_) QThread::msleep(1);
    }
    // Flush the painted picture to the screen before the caller blocks.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TAboutForm::paintEvent(QPaintEvent*) {
    // Painted once the window is up; the flag lets start-up wait for it.
    if (windowHandle() && windowHandle()->isExposed()) painted_ = true;
    // Vertical gradient from black to blue in 128 bands.
    QPainter p(this);
    const int h = height();
    for (int i = 0; i < kGradientSteps; ++i) {
        const int top = i * h / kGradientSteps;
        const int bottom = (i + 1) * h / kGradientSteps;
        p.fillRect(0, top, width(), bottom - top, QColor(0, 0, i * 255 / (kGradientSteps - 1)));
    }
}
