#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace cookhub::icons {

namespace {

constexpr int kSize = 48;

QPixmap canvas()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void tile(QPainter& p, const QColor& color)
{
    QLinearGradient gradient(0, 0, 0, kSize);
    gradient.setColorAt(0, color.lighter(125));
    gradient.setColorAt(1, color.darker(110));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(3, 3, kSize - 6, kSize - 6), 9, 9);
}

void printer(QPainter& p, const QColor& body)
{
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16, 9, 16, 9));                  // paper in
    p.setBrush(body.darker(140));
    p.drawRoundedRect(QRectF(9, 17, 30, 15), 3, 3);    // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(15, 28, 18, 11));                // ticket out
    p.setPen(QPen(body.darker(140), 1.5));
    p.drawLine(QPointF(18, 32), QPointF(30, 32));
    p.drawLine(QPointF(18, 35.5), QPointF(27, 35.5));
}

}  // namespace

QIcon tool(Tool kind)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen line(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (kind) {
    case Tool::Stop:
        tile(p, QColor(0xd9, 0x3f, 0x3f));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(16, 16, 16, 16), 2, 2);
        break;
    case Tool::Start: {
        tile(p, QColor(0x2e, 0xa0, 0x4f));
        QPainterPath triangle;
        triangle.moveTo(19, 14);
        triangle.lineTo(35, 24);
        triangle.lineTo(19, 34);
        triangle.closeSubpath();
        p.fillPath(triangle, Qt::white);
        break;
    }
    case Tool::Format:
        tile(p, QColor(0x3a, 0x7b, 0xd5));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(15, 11, 18, 26));
        p.setPen(QPen(QColor(0x3a, 0x7b, 0xd5), 2));
        for (int y = 17; y <= 31; y += 5)
            p.drawLine(18, y, 30, y);
        break;
    case Tool::Parameters:
        tile(p, QColor(0x7a, 0x5a, 0xc8));
        p.setPen(line);
        for (int y : {16, 24, 32})
            p.drawLine(13, y, 35, y);
        p.setBrush(QColor(0x7a, 0x5a, 0xc8));
        p.drawEllipse(QPointF(19, 16), 3.5, 3.5);
        p.drawEllipse(QPointF(30, 24), 3.5, 3.5);
        p.drawEllipse(QPointF(23, 32), 3.5, 3.5);
        break;
    case Tool::History:
        tile(p, QColor(0xe0, 0x8a, 0x1e));
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(21, 21), 8, 8);
        p.drawLine(QPointF(27, 27), QPointF(35, 35));
        break;
    case Tool::Hide:
        tile(p, QColor(0x5f, 0x6b, 0x7a));
        p.setPen(line);
        p.drawLine(14, 31, 34, 31);
        p.drawLine(24, 14, 24, 25);
        p.drawLine(19, 20, 24, 25);
        p.drawLine(29, 20, 24, 25);
        break;
    case Tool::Connection:
        tile(p, QColor(0x17, 0x9a, 0x9a));
        p.setPen(QPen(Qt::white, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(14, 11, 20, 7));
        p.drawLine(14, 15, 14, 33);
        p.drawLine(34, 15, 34, 33);
        p.drawArc(QRectF(14, 29, 20, 7), 180 * 16, 180 * 16);
        p.drawArc(QRectF(14, 20, 20, 7), 180 * 16, 180 * 16);
        break;
    case Tool::Exit:
        tile(p, QColor(0x44, 0x4c, 0x56));
        p.setPen(line);
        p.drawArc(QRectF(14, 14, 20, 20), 120 * 16, 300 * 16);
        p.drawLine(24, 11, 24, 23);
        break;
    }
    return QIcon(pixmap);
}

QIcon tray(bool running)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = running ? QColor(0x2e, 0xa0, 0x4f) : QColor(0x8a, 0x8f, 0x96);
    tile(p, color);
    printer(p, color);
    return QIcon(pixmap);
}

QIcon printerState(bool fault)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = fault ? QColor(0xd9, 0x3f, 0x3f) : QColor(0x2e, 0xa0, 0x4f);
    tile(p, color);
    printer(p, color);
    return QIcon(pixmap);
}

QIcon close()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(6, 6, 18, 18);
    p.drawLine(18, 6, 6, 18);
    return QIcon(pixmap);
}

}  // namespace cookhub::icons
