// The ticket the template designer previews: every variable the printing pass sets,
// and dish lines that show what templates must handle (a returned dish marked "(退)"
// with its reason, a remark, a specification, an add-on price, a fractional quantity).
#pragma once

#include "platform/report/report.h"

namespace cookhub {

// The variables and rows for a ticket titled `title` (the row's ticket kind).
void fillSampleTicket(report::Report* report, const QString& title);

}  // namespace cookhub
