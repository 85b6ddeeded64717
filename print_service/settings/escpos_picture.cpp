#include "escpos_picture.h"

#include "platform/gbk_text.h"
#include "platform/report/renderers.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace cookhub {

int PaperRoll::cells(const PaperSegment& segment) {
    int count = 0;
    for (const QChar c : segment.text) count += c.unicode() < 0x80 ? 1 : 2;
    return count * segment.widthScale;
}

namespace {

constexpr char ESC = 0x1b;
constexpr char GS = 0x1d;
constexpr char FS = 0x1c;

struct PrinterState {
    int widthScale = 1;
    int heightScale = 1;
    bool bold = false;
    int align = 0;
};

}  // namespace

PaperRoll interpretEscPos(const QByteArray& bytes) {
    PaperRoll roll;
    PrinterState state;
    PaperLine line;
    QByteArray pending;  // text bytes of the current segment, GBK
    auto flushSegment = [&] {
        if (pending.isEmpty())
            return;
        line.segments.append(
            PaperSegment{decodeGbk(pending), state.widthScale, state.heightScale, state.bold});
        pending.clear();
    };
    auto endLine = [&] {
        flushSegment();
        line.kind = PaperLine::Kind::Text;
        line.align = state.align;
        roll.lines.append(line);
        line = PaperLine();
    };
    // A line is aligned when it starts; commands between lines change the next one.
    const qsizetype size = bytes.size();
    auto arg = [&](qsizetype at) { return at < size ? static_cast<uchar>(bytes[at]) : -1; };
    for (qsizetype i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            endLine();
        } else if (c == ESC || c == GS || c == FS) {
            const int command = arg(i + 1);
            if (command < 0)
                break;
            flushSegment();
            if (c == ESC && command == '@') {
                state = PrinterState();
                i += 1;
            } else if (c == ESC && command == 'a' && arg(i + 2) >= 0) {
                state.align = std::clamp(arg(i + 2) % 48, 0, 2);  // '0'..'2' mean the same
                i += 2;
            } else if (c == ESC && command == 'E' && arg(i + 2) >= 0) {
                state.bold = (arg(i + 2) & 1) != 0;
                i += 2;
            } else if (c == ESC && command == 'd' && arg(i + 2) >= 0) {
                if (!pending.isEmpty() || !line.segments.isEmpty())
                    endLine();
                PaperLine feed;
                feed.kind = PaperLine::Kind::Feed;
                feed.feedLines = arg(i + 2);
                roll.lines.append(feed);
                i += 2;
            } else if (c == ESC && command == 'B' && arg(i + 3) >= 0) {
                roll.beeps += arg(i + 2);
                i += 3;
            } else if (c == GS && command == '!' && arg(i + 2) >= 0) {
                state.widthScale = ((arg(i + 2) >> 4) & 7) + 1;
                state.heightScale = (arg(i + 2) & 7) + 1;
                i += 2;
            } else if (c == GS && command == 'V' && arg(i + 2) >= 0) {
                const int mode = arg(i + 2);
                PaperLine cut;
                cut.kind = PaperLine::Kind::Cut;
                cut.fullCut = mode == 0 || mode == '0' || mode == 65;
                roll.lines.append(cut);
                i += (mode == 65 || mode == 66) ? 3 : 2;  // with a feed count
            } else if (c == FS && (command == '&' || command == '.')) {
                i += 1;  // Chinese mode on and off: the text is read as GBK either way
            } else {
                ++roll.unknownCommands;
                i += 1;
            }
        } else if (static_cast<uchar>(c) >= 0x20 || c == '\t') {
            pending.append(c);
        }
    }
    if (!pending.isEmpty() || !line.segments.isEmpty())
        endLine();
    return roll;
}

namespace {

constexpr int kDotsPerMm = 8;  // 203 dpi
constexpr int kRowDots = 30;   // line pitch of 24-dot characters
constexpr int kRulerDots = 28;
constexpr int kMarginDots = 16;

}  // namespace

QImage drawPaperRoll(const PaperRoll& roll, int paperMm, int columns) {
    const int paperDots = (paperMm == 58 ? 58 : 80) * kDotsPerMm;
    const int printableDots = (paperMm == 58 ? 48 : 72) * kDotsPerMm;
    columns = std::clamp(columns, 16, 96);
    const double cell = double(printableDots) / columns;
    const int left = (paperDots - printableDots) / 2;

    int height = kRulerDots + kMarginDots;
    for (const PaperLine& line : roll.lines) {
        if (line.kind == PaperLine::Kind::Text) {
            int scale = 1;
            for (const PaperSegment& segment : line.segments)
                scale = std::max(scale, segment.heightScale);
            height += scale * kRowDots;
        } else if (line.kind == PaperLine::Kind::Feed) {
            height += std::min(line.feedLines, 255) * kRowDots;
        } else {
            height += 24;
        }
    }
    height += kMarginDots;
    height = std::min(height, 32000);

    QImage image(paperDots, height, QImage::Format_RGB32);
    image.fill(QColor(0xfd, 0xfd, 0xf8));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Ruler: every cell a tick, every eighth a number, so widths can be counted.
    p.fillRect(0, 0, paperDots, kRulerDots, QColor(0xe8, 0xee, 0xf6));
    QFont small(u"Sans"_s);
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(0x6b, 0x7c, 0x93));
    for (int c = 0; c <= columns; ++c) {
        const int x = left + qRound(c * cell);
        const int tick = c % 8 == 0 ? 10 : c % 4 == 0 ? 7 : 4;
        p.drawLine(x, kRulerDots - tick, x, kRulerDots - 1);
        if (c % 8 == 0 && c > 0 && c < columns)
            p.drawText(QRectF(x - 15, 2, 30, 13), Qt::AlignCenter, QString::number(c));
    }

    if (roll.beeps > 0) {
        p.setPen(QColor(0xc0, 0x39, 0x2b));
        p.drawText(QRectF(4, 2, paperDots - 8, 13), Qt::AlignLeft, u"蜂鸣 %1 次"_s.arg(roll.beeps));
    }

    QFont regular(report::reportFontFamily());
    regular.setPixelSize(24);
    regular.setHintingPreference(QFont::PreferNoHinting);
    QFont bold = regular;
    bold.setBold(true);
    const QFontMetricsF metrics(regular);

    int y = kRulerDots + kMarginDots;
    for (const PaperLine& line : roll.lines) {
        if (y >= height)
            break;
        if (line.kind == PaperLine::Kind::Feed) {
            y += std::min(line.feedLines, 255) * kRowDots;
            continue;
        }
        if (line.kind == PaperLine::Kind::Cut) {
            QPen pen(QColor(0xc0, 0x39, 0x2b));
            pen.setStyle(line.fullCut ? Qt::SolidLine : Qt::DashLine);
            pen.setWidth(2);
            p.setPen(pen);
            p.drawLine(0, y + 12, paperDots, y + 12);
            p.setFont(small);
            p.drawText(QRectF(4, y, paperDots - 8, 12), Qt::AlignRight,
                       line.fullCut ? u"✂ 全切"_s : u"✂ 半切"_s);
            y += 24;
            continue;
        }
        int total = 0;
        int rowScale = 1;
        for (const PaperSegment& segment : line.segments) {
            total += PaperRoll::cells(segment);
            rowScale = std::max(rowScale, segment.heightScale);
        }
        const int spare = std::max(0, columns - total);
        int x = line.align == 2 ? spare : line.align == 1 ? spare / 2 : 0;
        const int baseline = y + rowScale * kRowDots - 6;
        p.setPen(Qt::black);
        for (const PaperSegment& segment : line.segments) {
            p.setFont(segment.bold ? bold : regular);
            for (const QChar c : segment.text) {
                const int width = (c.unicode() < 0x80 ? 1 : 2) * segment.widthScale;
                if (c != u' ' && x + width <= columns) {
                    p.save();
                    p.translate(left + x * cell, baseline);
                    p.scale(segment.widthScale, segment.heightScale);
                    const double glyphCells = c.unicode() < 0x80 ? 1 : 2;
                    const double advance = metrics.horizontalAdvance(c);
                    p.drawText(
                        QPointF((glyphCells * cell - advance) / 2, -4.0 / segment.heightScale),
                        QString(c));
                    p.restore();
                }
                x += width;
            }
        }
        y += rowScale * kRowDots;
    }
    return image;
}

}  // namespace cookhub
