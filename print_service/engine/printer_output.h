// The printing pass's output on the real printers: CUPS queues or the file printers,
// on the calling thread. The shell hands printCopies to the main thread around it.
#pragma once

#include "ticket_output.h"

namespace cookhub {

class PrinterOutput : public TicketOutput {
public:
    int jobCount(const QString& printer) override;
    PrintOutcome printCopies(const PrintRequest& request) override;
    // No window here: the message goes to the trace of whoever shows it.
    void showMessage(const QString&) override {}
};

}  // namespace cookhub
