#include "gbk_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cookhub {

// Bytes that are not valid GBK decode to U+FFFD; a garbage file reads as odd text,
// never as an error.
QString decodeGbk(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.isValid() ? QString(decoder(bytes)) : QString::fromLatin1(bytes);
}

QByteArray encodeGbk(const QString& text)
{
    QStringEncoder encoder("GBK");
    return encoder.isValid() ? QByteArray(encoder(text)) : text.toLatin1();
}

}  // namespace cookhub
