// Message boxes and their unattended answer.
#include "app/message_box.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace padlink {

namespace {
QList<QPointer<QMessageBox>> openBoxes;
}

bool showMessageBox(QWidget* parent, const QString& caption, const QString& text) {
    const char* answer = std::getenv("PADLINK_AUTO_ANSWER");
    if (answer != nullptr && (std::strcmp(answer, "ok") == 0 || std::strcmp(answer, "cancel") == 0)) {
        const QByteArray line = QStringLiteral("message: %1: %2\n").arg(caption, text).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
        std::fflush(stderr);
        return std::strcmp(answer, "ok") == 0;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    openBoxes.append(QPointer<QMessageBox>(&box));
    const int result = box.exec();
    openBoxes.removeAll(QPointer<QMessageBox>(&box));
    return result == QMessageBox::Ok;
}

void closeOpenMessageBoxes() {
    const auto boxes = openBoxes;
    for (const auto& box : boxes) {
        if (box) {
            box->reject();
        }
    }
}

}  // namespace padlink
