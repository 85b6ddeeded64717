#include "history_strip.h"

#include <QMouseEvent>

namespace cookhub {

void HistoryStrip::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    QWidget* w = window();
    if (w->isMaximized())
        w->showNormal();
    else
        w->showMaximized();
}

}  // namespace cookhub
