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

QString fitGbk(const QString& text, int maxBytes)
{
    // No UTF-16 unit takes more than two GBK bytes: most texts fit without encoding.
    if (text.size() * 2 <= maxBytes || encodeGbk(text).size() <= maxBytes)
        return text;
    QString result;
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        const int bytes = static_cast<int>(encodeGbk(character).size());
        if (used + bytes > maxBytes)
            break;
        result += character;
        used += bytes;
        i += length;
    }
    return result;
}

}  // namespace cookhub
