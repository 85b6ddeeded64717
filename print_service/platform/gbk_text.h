// GBK (code page 936) text on disk, Unicode in memory.
//
// The POS installation writes its settings and text files in GBK. Everything the
// print service reads from or writes to such a file goes through these two calls, so
// that no other file has to know the code page.
#pragma once

#include <QByteArray>
#include <QString>

namespace cookhub {

QString decodeGbk(const QByteArray& bytes);
QByteArray encodeGbk(const QString& text);

// The longest start of `text` whose GBK form has at most `maxBytes` bytes, never
// splitting a character: what fits a varchar(maxBytes) column of a GBK database.
QString fitGbk(const QString& text, int maxBytes);

}  // namespace cookhub
