// The printers as the print service sees them: submit a rendered ticket to a named
// printer, ask how many jobs wait in its queue, list the printers to choose from.
//
// A printer name is a CUPS destination, or, when COOKHUB_PRINTER_DIR is set, a file
// printer (a folder of numbered PDF and text files). A job is reported as accepted only
// when the spooler has given it a job id; a refusal is never dressed up as a print.
// Nothing here ever prints on a printer other than the one named: no default printer,
// no fallback.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace cookhub::printing {

// A ticket ready to print. Only the rendering the chosen printer needs is asked for:
// raw queues take ESC/POS, driver queues take PDF, file printers take PDF and text.
struct Document {
    QString title;
    std::function<QByteArray()> escPos;
    std::function<QByteArray()> pdf;
    std::function<QString()> text;
};

struct JobResult {
    bool accepted = false;
    int jobId = 0;  // the spooler's job id, or the file printer's file number; 0 unless accepted
    QString error;  // why the job was refused; empty when accepted
};

// Active jobs (pending, held, processing) of all users on the printer's queue.
// -1 when the printer is unknown or CUPS cannot be reached; always 0 for file printers.
int PrinterJobCount(const QString& printer);

JobResult printDocument(const QString& printer, const Document& document);

// The printers to choose from, in the system's order: the CUPS destinations, or the
// file printers' folders when file printers are on. Empty when none can be listed.
QStringList systemPrinters();

// The printers the operator can choose as a station's backup: the CUPS destinations,
// followed by the file printers' folders not among them when file printers are on.
QStringList printerChoices();

// The file printers' root folder (COOKHUB_PRINTER_DIR), empty when file printers are off.
QString filePrinterRoot();

}  // namespace cookhub::printing
