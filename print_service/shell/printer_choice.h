// The printer choice of the backup switch: a list of the printers to pick one from.
//
// With COOKHUB_AUTO_ANSWER set no dialog opens: the list goes to standard error as
// "printer choice: <names>" and "ok" picks the first printer, "cancel" none.
#pragma once

#include <QStringList>

class QWidget;

namespace cookhub {

// The index of the chosen printer in `printers`, or -1 when the operator cancels or
// there is nothing to choose.
int choosePrinter(QWidget* parent, const QStringList& printers);

}  // namespace cookhub
