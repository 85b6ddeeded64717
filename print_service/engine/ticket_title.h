// Ticket titles: which kind of kitchen paper a ticket is, from the flag letter of its
// first dish and the base title of its pass.
#pragma once

#include <QString>

namespace cookhub {

inline const QString kOrderTicket = QStringLiteral("点菜单");
inline const QString kOutputTicket = QStringLiteral("出品单");
inline const QString kTakeAwaySuffix = QStringLiteral("(外卖)");

// `baseTitle` is "点菜单", "出品单" or "点菜单(外卖)". Only the plain order title has
// titles of its own for the letters; every other base title takes the right-hand
// column, so a take-away order ticket with "B" is a "退菜出品单".
QString TicketTitle(const QString& letter, const QString& baseTitle);

}  // namespace cookhub
