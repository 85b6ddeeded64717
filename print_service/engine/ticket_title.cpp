#include "ticket_title.h"

using namespace Qt::StringLiterals;

namespace cookhub {

QString TicketTitle(const QString& letter, const QString& baseTitle)
{
    const bool order = baseTitle == kOrderTicket;
    if (letter == u"H"_s)
        return order ? u"催菜单"_s : baseTitle;
    if (letter == u"S"_s)
        return order ? u"特别要求单"_s : u"菜品转台出品单"_s;
    if (letter == u"G"_s)
        return order ? u"叫起单"_s : u"叫起出品单"_s;
    if (letter == u"J"_s)
        return order ? u"即起单"_s : u"即起出品单"_s;
    if (letter == u"B"_s)
        return order ? u"退菜单"_s : u"退菜出品单"_s;
    if (letter == u"T"_s)
        return order ? baseTitle : u"转台出品单"_s;
    return baseTitle;
}

}  // namespace cookhub
