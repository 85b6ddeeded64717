// Cell counting and fitting for printer text; see text_cells.h.
#include "text_cells.h"

#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace cookhub::report {

namespace {

constexpr char16_t kReplacement = u'\uFF1F';  // "？", two cells in GBK

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); }

}  // namespace

QString printableText(QStringView text)
{
    bool plainAscii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || isControl(c.unicode())) {
            plainAscii = false;
            break;
        }
    }
    if (plainAscii)
        return text.toString();

    // One converter per thread: opening an ICU converter costs far more than using it.
    thread_local QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            result += isControl(c) ? u' ' : QChar(c);
            continue;
        }
        if (isControl(c) || c == 0xa0) {
            result += u' ';
            continue;
        }
        if (QChar::isSurrogate(c)) {
            // GBK has nothing beyond the basic plane; a pair is one character.
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            result += QChar(kReplacement);
            continue;
        }
        const QChar character(c);
        const QByteArray bytes = encoder.isValid() ? QByteArray(encoder(QStringView(&character, 1))) : QByteArray();
        result += bytes.size() == 2 ? character : QChar(kReplacement);
    }
    return result;
}

int textCells(QStringView printable)
{
    int cells = 0;
    for (const QChar c : printable)
        cells += c.unicode() < 0x80 ? 1 : 2;
    return cells;
}

QStringList fitCells(QStringView printable, int cells, bool clip)
{
    cells = std::max(cells, 2);
    QStringList pieces;
    QString current;
    int used = 0;
    for (const QChar c : printable) {
        const int width = c.unicode() < 0x80 ? 1 : 2;
        if (used + width > cells) {
            pieces.append(current);
            if (clip)
                return pieces;
            current.clear();
            used = 0;
        }
        current += c;
        used += width;
    }
    if (!current.isEmpty() || pieces.isEmpty())
        pieces.append(current);
    return pieces;
}

QString alignCells(const QString& printable, int cells, Align align)
{
    const int spare = std::max(0, cells - textCells(printable));
    const int before = align == Align::Right ? spare : align == Align::Center ? spare / 2 : 0;
    return QString(before, u' ') + printable + QString(spare - before, u' ');
}

}  // namespace cookhub::report
