#include "print_dialog.h"

#include "platform/printing/printers.h"

#include <QInputDialog>

using namespace Qt::StringLiterals;

namespace cookhub {

std::optional<QString> askPrinter(QWidget* parent, const QString& preset) {
    QStringList printers = printing::systemPrinters();
    if (!preset.isEmpty() && !printers.contains(preset))
        printers.prepend(preset);
    const QString automatic = qEnvironmentVariable("COOKHUB_AUTO_ANSWER").trimmed().toLower();
    if (automatic == u"cancel"_s || printers.isEmpty())
        return std::nullopt;
    const int current = preset.isEmpty() ? 0 : int(printers.indexOf(preset));
    if (automatic == u"ok"_s)
        return printers[current];
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, u"打印"_s, u"打印机："_s, printers, current, false, &ok);
    return ok ? std::optional<QString>(chosen) : std::nullopt;
}

}  // namespace cookhub
