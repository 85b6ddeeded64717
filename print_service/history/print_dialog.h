// The print dialog of the history: which printer a reprint goes to.
//
// With COOKHUB_AUTO_ANSWER=ok no dialog opens: the printer chosen at first is taken
// (the first listed when none is); with "cancel" nothing is printed.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace cookhub {

// The chosen printer; nullopt on cancel. `preset` is chosen at first and is offered
// even when the system does not list it.
using PrintDialog = std::function<std::optional<QString>(QWidget* parent, const QString& preset)>;
std::optional<QString> askPrinter(QWidget* parent, const QString& preset);

}  // namespace cookhub
