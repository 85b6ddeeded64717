// CUPS destinations through libcups, on a connection of our own per call, so the
// worker thread and the main thread never share one.
//
// Jobs go through create job / start document / write / finish document, so the job
// id or the refusal is known. Never prints through anything that could fall back to
// the default destination: an empty or unknown name is a refusal.
#pragma once

#include "printers.h"

namespace cookhub::printing {

int cupsJobCount(const QString& printer);
JobResult printToCups(const QString& printer, const Document& document);
QStringList cupsDestinations();

// How a queue is told to be raw: cupsd reports "Local Raw Printer" as the make and
// model of every queue without a driver (lpadmin -m raw, or no -m at all).
bool isRawQueueModel(const QString& makeAndModel);

}  // namespace cookhub::printing
