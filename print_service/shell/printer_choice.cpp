#include "printer_choice.h"

#include <QInputDialog>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace cookhub {

int choosePrinter(QWidget* parent, const QStringList& printers) {
    if (printers.isEmpty())
        return -1;
    const QString automatic = qEnvironmentVariable("COOKHUB_AUTO_ANSWER").trimmed().toLower();
    if (automatic == u"ok"_s || automatic == u"cancel"_s) {
        const QByteArray line = (u"printer choice: "_s + printers.join(u", "_s) + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return automatic == u"ok"_s ? 0 : -1;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, u"打印"_s, u"选择备用打印机："_s, printers, 0, false, &ok);
    return ok ? int(printers.indexOf(chosen)) : -1;
}

}  // namespace cookhub
