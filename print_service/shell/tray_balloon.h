// The balloon notes of the tray icon, for the status monitor's thread.
//
// The note is handed to the main thread, where the tray icon lives; without a tray
// (offscreen, no desktop) it goes to standard error instead, so headless runs see it.
#pragma once

#include "status/balloon.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace cookhub {

class TrayBalloon final : public BalloonNotes {
  public:
    // Made on the main thread: whether there is a tray is decided here, once.
    explicit TrayBalloon(QSystemTrayIcon* tray);
    void show(const QString& text, int milliseconds) override;

  private:
    QPointer<QSystemTrayIcon> tray_;
    bool useTray_ = false;
    StandardErrorBalloon standardError_;
};

}  // namespace cookhub
