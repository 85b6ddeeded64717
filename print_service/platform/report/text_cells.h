// Character cells of thermal-printer text. In the printer's Chinese mode every GBK
// double-byte character takes two cells and every ASCII character one, so a cell count
// is the GBK byte count of printable text. printableText makes any text fit that rule.
#pragma once

#include "report_template.h"

#include <QString>
#include <QStringList>

namespace cookhub::report {

// Control characters become spaces (they would reach the printer as commands), and a
// character that has no two-byte GBK form becomes "？" so the cell count stays exact.
QString printableText(QStringView text);

// Cells of printable text.
int textCells(QStringView printable);

// Splits printable text into pieces of at most `cells` cells (at least 2) without ever
// splitting a character; with `clip` only the first piece is kept. Empty text gives
// one empty piece.
QStringList fitCells(QStringView printable, int cells, bool clip);

// `printable` placed in `cells` cells by alignment, padded with spaces to exactly that
// width (the text must already fit).
QString alignCells(const QString& printable, int cells, Align align);

}  // namespace cookhub::report
