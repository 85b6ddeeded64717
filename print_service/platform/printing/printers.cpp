// Chooses between file printers and CUPS for every call. The choice is read from the
// environment at each call, so a test or a demo can switch it without a restart; it
// must never mix the two for one call.
#include "printers.h"

#include "cups_printers.h"
#include "file_printers.h"

#include <QtGlobal>

namespace cookhub::printing {

QString filePrinterRoot() {
    return qEnvironmentVariable("COOKHUB_PRINTER_DIR");
}

int PrinterJobCount(const QString& printer) {
    if (!filePrinterRoot().isEmpty())
        return 0;
    return cupsJobCount(printer);
}

JobResult printDocument(const QString& printer, const Document& document) {
    const QString root = filePrinterRoot();
    if (!root.isEmpty())
        return printToFilePrinter(root, printer, document);
    return printToCups(printer, document);
}

QStringList systemPrinters() {
    const QString root = filePrinterRoot();
    if (!root.isEmpty())
        return filePrinterNames(root);
    return cupsDestinations();
}

QStringList printerChoices() {
    QStringList names = cupsDestinations();
    const QString root = filePrinterRoot();
    if (!root.isEmpty())
        for (const QString& name : filePrinterNames(root))
            if (!names.contains(name))
                names.append(name);
    return names;
}

}  // namespace cookhub::printing
