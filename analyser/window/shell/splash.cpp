#include "analyser/window/shell/splash.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "analyser/window/shell/logo.h"

namespace qorval::analyser {

CSplashDlg::CSplashDlg(QWidget* parent, int showMs)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("splash");
    auto* layout = new QVBoxLayout(this);
    auto* logo = new QLabel(this);
    logo->setPixmap(PaintLogo(320, 140));
    auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);
    version->setObjectName("version");
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    layout->addWidget(version);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QDialog::close);
    timer_.start(showMs);
    qApp->installEventFilter(this);
}

bool CSplashDlg::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            qApp->removeEventFilter(this);
            close();
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

CSplashDlg* ShowSplash(QWidget* parent, int showMs) {
    auto* splash = new CSplashDlg(parent, showMs);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    if (parent != nullptr) {
        splash->move(parent->geometry().center() - splash->rect().center());
    }
    return splash;
}

}  // namespace qorval::analyser
