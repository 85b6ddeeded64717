// Places where the kill test makes the program die on purpose: inside a ticket's
// commit (its rows written, not yet committed) and between printing a ticket and
// marking it printed.
//
// Off unless COOKHUB_CRASH_POINT names a place and a count, e.g. "written:12": the
// twelfth time the worker passes that place, the process kills itself with SIGKILL,
// as a power cut or a killed process would end it there. Nothing else reads it.
#pragma once

namespace cookhub {

enum class CrashPoint { TicketWritten, Printed };

void crashPoint(CrashPoint point);

}  // namespace cookhub
