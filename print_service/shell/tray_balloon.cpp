#include "tray_balloon.h"

#include <QGuiApplication>

namespace cookhub {

TrayBalloon::TrayBalloon(QSystemTrayIcon* tray)
    : tray_(tray),
      useTray_(QGuiApplication::platformName() != QStringLiteral("offscreen") &&
               QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {}

void TrayBalloon::show(const QString& text, int milliseconds) {
    if (!useTray_ || !tray_) {
        standardError_.show(text, milliseconds);
        return;
    }
    QSystemTrayIcon* tray = tray_;
    QMetaObject::invokeMethod(
        tray,
        [tray, text, milliseconds] {
            tray->showMessage(QString(), text, QSystemTrayIcon::Information, milliseconds);
        },
        Qt::QueuedConnection);
}

}  // namespace cookhub
