// File printers: a printer that is a folder. Each printed copy becomes NNNN.pdf and
// NNNN.txt in <root>/<printer name>/, numbered in print order.
//
// Numbers continue after the highest one present, so they survive restarts; a file
// is published under its final name only once it is complete (written under a hidden
// temporary name, then hard-linked into place), and an existing file is never
// replaced, not even by another process printing to the same folder.
#pragma once

#include "printers.h"

namespace cookhub::printing {

// Why `printer` cannot be a folder name under the root, or empty when it can.
QString filePrinterNameProblem(const QString& printer);

JobResult printToFilePrinter(const QString& root, const QString& printer, const Document& document);

// The sub-folders of the root, sorted by name.
QStringList filePrinterNames(const QString& root);

}  // namespace cookhub::printing
