// Balloon notes: the short note the status monitor pops up when tickets pile up.
//
// The monitor only knows this interface and calls it from its own thread; the window
// gives it the tray icon's message, and a run without a tray writes the note to
// standard error. A note never blocks the monitor.
#pragma once

#include <QString>

namespace cookhub {

class BalloonNotes {
  public:
    virtual ~BalloonNotes() = default;
    // ShowBalloon with the information icon: shows `text` for about `milliseconds`,
    // after which it goes away by itself.
    virtual void show(const QString& text, int milliseconds) = 0;
};

// Without a tray: one line "balloon: <text>" on standard error.
class StandardErrorBalloon final : public BalloonNotes {
  public:
    void show(const QString& text, int milliseconds) override;
};

}  // namespace cookhub
