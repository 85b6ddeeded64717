// ESC/POS rendering: the bytes a kitchen thermal printer receives on a raw queue.
#include "renderers.h"

#include "platform/gbk_text.h"

namespace cookhub::report {

namespace {

constexpr char ESC = 0x1b;
constexpr char GS = 0x1d;
constexpr char FS = 0x1c;

char sizeByte(TextSize size)
{
    return static_cast<char>((isWide(size) ? 0x10 : 0x00) | (isTall(size) ? 0x01 : 0x00));
}

char alignByte(Align align) { return align == Align::Left ? 0 : align == Align::Center ? 1 : 2; }

}  // namespace

QByteArray renderEscPos(const PreparedTicket& ticket)
{
    QByteArray out;
    if (ticket.isEmpty())
        return out;
    out.reserve(ticket.copies * (64 + ticket.lines.size() * (ticket.columns + 8)));
    for (int copy = 0; copy < ticket.copies; ++copy) {
        out.append(ESC).append('@');
        out.append(FS).append('&');
        if (copy == 0 && ticket.buzzer > 0)
            out.append(ESC).append('B').append(static_cast<char>(ticket.buzzer)).append(char(2));
        // After ESC @ the printer is at normal size, left aligned, not bold.
        TextSize size = TextSize::Normal;
        Align align = Align::Left;
        bool bold = false;
        for (const PreparedLine& line : ticket.lines) {
            if (line.align != align) {
                align = line.align;
                out.append(ESC).append('a').append(alignByte(align));
            }
            if (line.size != size) {
                size = line.size;
                out.append(GS).append('!').append(sizeByte(size));
            }
            if (line.bold != bold) {
                bold = line.bold;
                out.append(ESC).append('E').append(bold ? char(1) : char(0));
            }
            out.append(encodeGbk(line.text)).append('\n');
        }
        if (size != TextSize::Normal)
            out.append(GS).append('!').append(char(0));
        if (ticket.feedBeforeCut > 0)
            out.append(ESC).append('d').append(static_cast<char>(ticket.feedBeforeCut));
        if (ticket.cut != CutMode::None)
            out.append(GS).append('V').append(ticket.cut == CutMode::Full ? char(0) : char(1));
    }
    return out;
}

}  // namespace cookhub::report
