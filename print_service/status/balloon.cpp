#include "balloon.h"

#include <cstdio>

namespace cookhub {

void StandardErrorBalloon::show(const QString& text, int) {
    const QByteArray line = (QStringLiteral("balloon: ") + text + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace cookhub
