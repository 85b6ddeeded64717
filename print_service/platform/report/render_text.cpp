// Plain-text rendering: what file printers keep beside the PDF, and what a person or a
// test reads to see a ticket without a printer.
#include "renderers.h"

#include "text_cells.h"

namespace cookhub::report {

QByteArray renderText(const PreparedTicket& ticket)
{
    QString out;
    if (ticket.isEmpty())
        return {};
    for (int copy = 0; copy < ticket.copies; ++copy) {
        if (copy > 0)
            out += u'\f';
        for (const PreparedLine& line : ticket.lines) {
            // A double-width line starts where it starts on paper.
            const int factor = isWide(line.size) ? 2 : 1;
            const int spare = std::max(0, ticket.columns / factor - textCells(line.text));
            const int before = line.align == Align::Right ? spare : line.align == Align::Center ? spare / 2 : 0;
            out += QString(before * factor, u' ');
            out += line.text;
            out += u'\n';
        }
    }
    return out.toUtf8();
}

}  // namespace cookhub::report
