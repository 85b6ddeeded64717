// The worker's trace file, AppDir + "CookhubTrace.txt": one line per call, opened and
// closed every time, never truncated. Written only when the run parameter WriteLog
// is "1".
#pragma once

#include "platform/clock.h"

#include <QString>

namespace cookhub {

// Appends "yyyy-MM-dd hh:mm:ss" + six spaces + `text` + CR LF, in GBK. Throws
// std::runtime_error when the file cannot be written: the caller's step fails as it
// would for any other error.
void WriteTrace(const QString& appDir, const Clock& clock, const QString& text);

// Numbers in trace lines: the shortest general form, up to 15 significant digits.
QString traceNumber(double value);
// The order time in trace lines: the system's short date and the time of day.
QString traceTime(const QDateTime& time);

}  // namespace cookhub
