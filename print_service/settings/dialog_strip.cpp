#include "dialog_strip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace cookhub {

DialogStrip::DialogStrip(const QString& caption, QWidget* parent) : QWidget(parent) {
    setFixedHeight(34);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 4, 0);
    auto* label = new QLabel(caption, this);
    label->setStyleSheet(u"color: white; font-weight: bold; font-size: 14px;"_s);
    close_ = new QToolButton(this);
    close_->setObjectName(u"imgClose"_s);
    close_->setText(u"✕"_s);
    close_->setAutoRaise(true);
    close_->setStyleSheet(
        u"QToolButton { color: white; border: none; padding: 4px 8px; font-size: 14px; }"
        u"QToolButton:hover { background: #d9534f; }"_s);
    layout->addWidget(label);
    layout->addStretch();
    layout->addWidget(close_);
}

void DialogStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
    gradient.setColorAt(1, QColor(0x2f, 0x74, 0xc0));
    p.fillRect(rect(), gradient);
}

void DialogStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
}

}  // namespace cookhub
