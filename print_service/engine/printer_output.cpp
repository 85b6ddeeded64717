#include "printer_output.h"

#include "platform/printing/printers.h"
#include "platform/report/renderers.h"

#include <optional>

namespace cookhub {

int PrinterOutput::jobCount(const QString& printer)
{
    return printing::PrinterJobCount(printer);
}

PrintOutcome PrinterOutput::printCopies(const PrintRequest& request)
{
    // Each rendering is made at most once, and only when a printer asks for it.
    std::optional<QByteArray> escPos, pdf, text;
    printing::Document document;
    document.title = request.title;
    document.escPos = [&] {
        if (!escPos)
            escPos = report::renderEscPos(request.ticket);
        return *escPos;
    };
    document.pdf = [&] {
        if (!pdf)
            pdf = report::renderPdf(request.ticket);
        return *pdf;
    };
    document.text = [&] {
        if (!text)
            text = report::renderText(request.ticket);
        return QString::fromUtf8(*text);
    };

    PrintOutcome outcome;
    for (qsizetype i = 0; i < request.printers.size(); ++i) {
        const printing::JobResult result = printing::printDocument(request.printers[i], document);
        if (i == 0)
            outcome.firstAccepted = result.accepted;
        if (!result.accepted) {
            outcome.refusals << request.printers[i] + QStringLiteral(": ") + result.error;
            if (i == 0)
                break;  // nothing printed yet: the whole ticket waits for its next turn
        }
    }
    return outcome;
}

}  // namespace cookhub
