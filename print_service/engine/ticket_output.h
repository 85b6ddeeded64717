// Where the printing pass sends its tickets: the spooler's queue of a printer, the
// printing itself (handed to the main thread by the shell), and the operator's
// message boxes. The pass knows only this interface.
#pragma once

#include "platform/report/report.h"

#include <QString>
#include <QStringList>

namespace cookhub {

struct PrintRequest {
    QString title;
    report::PreparedTicket ticket;
    QStringList printers;  // the station printer (or its backup), then PrintName2, PrintName3
};

struct PrintOutcome {
    // False when the first printer's spooler refused the job (no such printer, the
    // spooler down): nothing was printed, so the ticket waits and is tried again.
    bool firstAccepted = false;
    QStringList refusals;  // "printer: reason" of every refused copy
};

class TicketOutput {
public:
    virtual ~TicketOutput() = default;
    // PrinterJobCount: the jobs waiting in the printer's queue; -1 when it cannot tell.
    virtual int jobCount(const QString& printer) = 0;
    // PrintCopies: one paper on each printer in order; returns when all are submitted.
    // The first printer is tried first; when it refuses, the others are not tried.
    virtual PrintOutcome printCopies(const PrintRequest& request) = 0;
    // A modal message; returns when the operator closed it.
    virtual void showMessage(const QString& text) = 0;
};

}  // namespace cookhub
