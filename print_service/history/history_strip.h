// The title strip of the history windows: drags the window, and a double click
// toggles maximised and normal size.
#pragma once

#include "settings/dialog_strip.h"

namespace cookhub {

class HistoryStrip : public DialogStrip {
  public:
    using DialogStrip::DialogStrip;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace cookhub
