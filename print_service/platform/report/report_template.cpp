// Parser of the ".rmf" ticket template format. Line oriented: every error names the
// line it was found on, and nothing in the input can make it read out of bounds or
// loop (widths are checked before any layout ever uses them).
#include "report_template.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace cookhub::report {

QString ParseError::toString() const {
    if (line > 0)
        return u"%1:%2: %3"_s.arg(file).arg(line).arg(message);
    return u"%1: %2"_s.arg(file, message);
}

namespace {

enum class Section { None, Report, Header, Detail, Footer };

struct Failure {
    int line;
    QString message;
    // Where in the decoded line the fault is, when the check knows; the line's first
    // character otherwise.
    const QChar* at = nullptr;
    int column = 0;  // filled in by the line loop from `at`
};

bool parseNumber(QStringView text, int low, int high, int* value) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < low || number > high)
        return false;
    *value = number;
    return true;
}

std::optional<NumberFormat> formatNamed(QStringView name) {
    if (name.isEmpty())
        return NumberFormat::Plain;
    if (name == u"qty")
        return NumberFormat::Quantity;
    if (name == u"money")
        return NumberFormat::Money;
    if (name == u"int")
        return NumberFormat::Integer;
    return std::nullopt;
}

// "{name}" and "{name:format}" are fields, "{{" and "}}" stand for braces.
std::optional<Failure> parsePattern(QStringView text, int line, Pattern* pattern) {
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            pattern->append(Piece{false, literal, NumberFormat::Plain});
        literal.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'}') {
            if (i + 1 < text.size() && text[i + 1] == u'}') {
                literal += u'}';
                ++i;
                continue;
            }
            return Failure{line, u"\"}\" without \"{\" (write \"}}\" for a brace)"_s,
                           text.data() + i};
        }
        if (c != u'{') {
            literal += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'{') {
            literal += u'{';
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i + 1);
        if (close < 0)
            return Failure{line, u"field \"{\" is not closed by \"}\""_s, text.data() + i};
        const QStringView inside = text.sliced(i + 1, close - i - 1);
        if (inside.contains(u'{'))
            return Failure{line, u"field \"{\" is not closed by \"}\""_s, text.data() + i};
        const qsizetype colon = inside.indexOf(u':');
        const QStringView name = (colon < 0 ? inside : inside.first(colon)).trimmed();
        const QStringView formatName =
            colon < 0 ? QStringView() : inside.sliced(colon + 1).trimmed();
        if (name.isEmpty())
            return Failure{line, u"field without a name"_s, text.data() + i};
        const auto format = formatNamed(formatName);
        if (!format)
            return Failure{line,
                           u"unknown number format \"%1\" (qty, money or int)"_s.arg(formatName),
                           formatName.isEmpty() ? text.data() + i : formatName.data()};
        flush();
        pattern->append(Piece{true, name.toString(), *format});
        i = close;
    }
    flush();
    return std::nullopt;
}

// Cells are split at "|"; "\|" and "\\" are a literal bar and backslash. Each cell
// keeps the offset in `body` where it starts, so errors can point into the line.
struct CellText {
    QString text;
    qsizetype offset = 0;
};

QList<CellText> splitCells(QStringView body) {
    QList<CellText> cells;
    CellText current;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c == u'\\' && i + 1 < body.size() && (body[i + 1] == u'|' || body[i + 1] == u'\\')) {
            current.text += body[++i];
        } else if (c == u'|') {
            cells.append(current);
            current = CellText{QString(), i + 1};
        } else {
            current.text += c;
        }
    }
    cells.append(current);
    return cells;
}

std::optional<Failure> parseCell(QStringView text, int line, Cell* cell) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return Failure{line,
                       u"cell \"%1\" needs a width and \":\" (for example \"10>: {Nums}\")"_s.arg(
                           text.trimmed()),
                       text.trimmed().data()};
    QStringView spec = text.first(colon).trimmed();
    if (!spec.isEmpty()) {
        const QChar last = spec.back();
        if (last == u'<' || last == u'^' || last == u'>') {
            cell->align = last == u'<' ? Align::Left : last == u'^' ? Align::Center : Align::Right;
            spec.chop(1);
        }
    }
    if (spec == u"*") {
        cell->width = 0;
    } else if (!parseNumber(spec, 2, kMaxColumns, &cell->width)) {
        return Failure{
            line,
            u"cell width \"%1\" is not \"*\" or a number from 2 to %2"_s.arg(spec).arg(kMaxColumns),
            spec.data()};
    }
    return parsePattern(text.sliced(colon + 1).trimmed(), line, &cell->pattern);
}

std::optional<Failure> parseBandLine(QStringView text, int line, LineSpec* spec) {
    spec->sourceLine = line;
    const qsizetype bar = text.indexOf(u'|');
    const QStringView head = bar < 0 ? text : text.first(bar);
    const QList<QStringView> words = head.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return Failure{line, u"line kind missing (text, cols, rule or feed)"_s};
    const QStringView kind = words.front();
    if (kind == u"text")
        spec->kind = LineSpec::Kind::Text;
    else if (kind == u"cols")
        spec->kind = LineSpec::Kind::Columns;
    else if (kind == u"rule")
        spec->kind = LineSpec::Kind::Rule;
    else if (kind == u"feed")
        spec->kind = LineSpec::Kind::Feed;
    else
        return Failure{line, u"unknown line kind \"%1\" (text, cols, rule or feed)"_s.arg(kind),
                       kind.data()};

    bool feedCount = false;
    for (qsizetype w = 1; w < words.size(); ++w) {
        const QStringView word = words[w];
        if (spec->kind == LineSpec::Kind::Feed) {
            if (feedCount || !parseNumber(word, 1, 20, &spec->feedLines))
                return Failure{line, u"feed takes one number of lines from 1 to 20"_s, word.data()};
            feedCount = true;
            continue;
        }
        if (word == u"normal")
            spec->size = TextSize::Normal;
        else if (word == u"wide")
            spec->size = TextSize::DoubleWidth;
        else if (word == u"tall")
            spec->size = TextSize::DoubleHeight;
        else if (word == u"big")
            spec->size = TextSize::Double;
        else if (word == u"bold")
            spec->bold = true;
        else if (word == u"left")
            spec->align = Align::Left;
        else if (word == u"center")
            spec->align = Align::Center;
        else if (word == u"right")
            spec->align = Align::Right;
        else if (word == u"wrap")
            spec->clip = false;
        else if (word == u"clip")
            spec->clip = true;
        else if (word.startsWith(u"if=") || word.startsWith(u"unless=")) {
            const bool unless = word.startsWith(u"unless=");
            const QStringView name = word.sliced(unless ? 7 : 3);
            if (name.isEmpty())
                return Failure{line, u"\"%1\" needs a field name"_s.arg(word), word.data()};
            spec->conditions.append(Condition{name.toString(), unless});
        } else {
            return Failure{line, u"unknown option \"%1\""_s.arg(word), word.data()};
        }
    }

    switch (spec->kind) {
        case LineSpec::Kind::Feed:
            if (!feedCount)
                spec->feedLines = 1;
            if (bar >= 0)
                return Failure{line, u"feed takes no text"_s, text.data() + bar};
            return std::nullopt;
        case LineSpec::Kind::Rule: {
            const QString fill = bar < 0 ? QString() : text.sliced(bar + 1).trimmed().toString();
            spec->pattern = {Piece{false, fill.isEmpty() ? u"-"_s : fill, NumberFormat::Plain}};
            return std::nullopt;
        }
        case LineSpec::Kind::Text: {
            if (bar < 0)
                return Failure{line, u"\"|\" missing before the text (\"text | ...\")"_s};
            QStringView body = text.sliced(bar + 1);
            if (body.startsWith(u' '))
                body = body.sliced(1);
            return parsePattern(body, line, &spec->pattern);
        }
        case LineSpec::Kind::Columns: {
            if (bar < 0)
                return Failure{line,
                               u"\"|\" missing before the cells (\"cols | *: ... | 8>: ...\")"_s};
            bool star = false;
            const QStringView body = text.sliced(bar + 1);
            const QList<CellText> cellTexts = splitCells(body);
            for (const auto& [cellText, offset] : cellTexts) {
                Cell cell;
                if (auto failure = parseCell(cellText, line, &cell)) {
                    // The cell is a copy (escapes undone): point at the same place in the line.
                    const qsizetype inCell = failure->at ? failure->at - cellText.constData() : 0;
                    failure->at =
                        body.data() + offset + std::clamp<qsizetype>(inCell, 0, cellText.size());
                    return failure;
                }
                if (cell.width == 0) {
                    if (star)
                        return Failure{
                            line, u"only one cell may be \"*\""_s,
                            body.data() + offset +
                                (QStringView(cellText).trimmed().data() - cellText.constData())};
                    star = true;
                }
                spec->cells.append(cell);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<Failure> parseReportKey(QStringView text, int line, Template* tmpl,
                                      bool* columnsGiven) {
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return Failure{line, u"expected \"key = value\" in [report]"_s};
    const QStringView key = text.first(equals).trimmed();
    const QStringView value = text.sliced(equals + 1).trimmed();
    if (key == u"paper") {
        QStringView mm = value;
        if (mm.endsWith(u"mm"))
            mm.chop(2);
        if (mm == u"80")
            tmpl->paperMm = 80;
        else if (mm == u"58")
            tmpl->paperMm = 58;
        else
            return Failure{line, u"paper must be 80 or 58"_s, value.data()};
        if (!*columnsGiven)
            tmpl->columns = tmpl->paperMm == 80 ? kColumns80mm : kColumns58mm;
    } else if (key == u"columns") {
        if (!parseNumber(value, kMinColumns, kMaxColumns, &tmpl->columns))
            return Failure{
                line, u"columns must be a number from %1 to %2"_s.arg(kMinColumns).arg(kMaxColumns),
                value.data()};
        *columnsGiven = true;
    } else if (key == u"copies") {
        if (!parseNumber(value, 1, 9, &tmpl->copies))
            return Failure{line, u"copies must be a number from 1 to 9"_s, value.data()};
    } else if (key == u"cut") {
        if (value == u"none")
            tmpl->cut = CutMode::None;
        else if (value == u"partial")
            tmpl->cut = CutMode::Partial;
        else if (value == u"full")
            tmpl->cut = CutMode::Full;
        else
            return Failure{line, u"cut must be none, partial or full"_s, value.data()};
    } else if (key == u"feed") {
        if (!parseNumber(value, 0, 20, &tmpl->feedBeforeCut))
            return Failure{line, u"feed must be a number from 0 to 20"_s, value.data()};
    } else if (key == u"buzzer") {
        if (!parseNumber(value, 0, 9, &tmpl->buzzer))
            return Failure{line, u"buzzer must be a number from 0 to 9"_s, value.data()};
    } else {
        return Failure{line, u"unknown key \"%1\" in [report]"_s.arg(key), key.data()};
    }
    return std::nullopt;
}

// Widths depend on the paper, which [report] may give after the bands.
std::optional<Failure> checkWidths(const Template& tmpl) {
    for (const QList<LineSpec>* band : {&tmpl.header, &tmpl.detail, &tmpl.footer}) {
        for (const LineSpec& spec : *band) {
            if (spec.kind != LineSpec::Kind::Columns)
                continue;
            const int available = isWide(spec.size) ? tmpl.columns / 2 : tmpl.columns;
            int needed = 0;
            for (const Cell& cell : spec.cells) needed += cell.width == 0 ? 2 : cell.width;
            if (needed > available)
                return Failure{
                    spec.sourceLine,
                    u"the cells need %1 columns, the line has %2"_s.arg(needed).arg(available)};
        }
    }
    return std::nullopt;
}

bool hasControlCharacter(QStringView text) {
    for (const QChar c : text) {
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// The column of the first byte that does not start a well-formed UTF-8 sequence: the
// characters before it, plus one.
int invalidUtf8Column(QByteArrayView raw) {
    qsizetype good = 0;
    while (good < raw.size()) {
        const auto lead = static_cast<uchar>(raw[good]);
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || good + length > raw.size())
            break;
        for (int k = 1; k < length; ++k) {
            if ((static_cast<uchar>(raw[good + k]) & 0xC0) != 0x80)
                return int(QString::fromUtf8(raw.first(good)).size()) + 1;
        }
        good += length;
    }
    return int(QString::fromUtf8(raw.first(good)).size()) + 1;
}

std::optional<Failure> parseLines(QByteArrayView bytes, Template* tmpl) {
    if (bytes.size() > kMaxTemplateBytes)
        return Failure{0, u"file larger than %1 bytes"_s.arg(kMaxTemplateBytes)};
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    Section section = Section::None;
    bool seen[5] = {};
    bool columnsGiven = false;
    int lineNumber = 0;
    qsizetype start = 0;
    QHash<int, int> columnsLineStart;  // where each cols line starts, for the width check
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        ++lineNumber;
        QByteArrayView raw = bytes.sliced(start, end - start);
        start = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);

        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString decoded = decoder(raw);
        if (decoder.hasError())
            return Failure{lineNumber, u"not UTF-8 text"_s, nullptr, invalidUtf8Column(raw)};
        if (hasControlCharacter(decoded)) {
            const qsizetype at =
                std::find_if(decoded.cbegin(), decoded.cend(),
                             [](QChar c) {
                                 return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f;
                             }) -
                decoded.cbegin();
            return Failure{lineNumber, u"control character in the line"_s, nullptr, int(at) + 1};
        }
        decoded.replace(u'\t', u' ');
        const QStringView line = QStringView(decoded).trimmed();
        const int lineColumn = int(line.data() - decoded.constData()) + 1;
        auto located = [&](Failure failure) {
            const QChar* begin = decoded.constData();
            failure.column =
                failure.at && failure.at >= begin && failure.at <= begin + decoded.size()
                    ? int(failure.at - begin) + 1
                    : lineColumn;
            return failure;
        };
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;

        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return located(Failure{lineNumber, u"section name not closed by \"]\""_s});
            const QStringView name = line.sliced(1, line.size() - 2).trimmed();
            if (name == u"report")
                section = Section::Report;
            else if (name == u"header")
                section = Section::Header;
            else if (name == u"detail")
                section = Section::Detail;
            else if (name == u"footer")
                section = Section::Footer;
            else
                return located(Failure{
                    lineNumber,
                    u"unknown section [%1] (report, header, detail or footer)"_s.arg(name)});
            if (seen[static_cast<int>(section)])
                return located(Failure{lineNumber, u"section [%1] given twice"_s.arg(name)});
            seen[static_cast<int>(section)] = true;
            if (section == Section::Detail)
                tmpl->hasDetail = true;
            continue;
        }

        switch (section) {
            case Section::None:
                return located(Failure{lineNumber, u"line before the first section"_s});
            case Section::Report:
                if (auto failure = parseReportKey(line, lineNumber, tmpl, &columnsGiven))
                    return located(*failure);
                break;
            case Section::Header:
            case Section::Detail:
            case Section::Footer: {
                LineSpec spec;
                // Only the text after the bar keeps its leading space.
                if (auto failure = parseBandLine(QStringView(decoded).trimmed(), lineNumber, &spec))
                    return located(*failure);
                QList<LineSpec>& band = section == Section::Header   ? tmpl->header
                                        : section == Section::Detail ? tmpl->detail
                                                                     : tmpl->footer;
                if (spec.kind == LineSpec::Kind::Columns)
                    columnsLineStart.insert(lineNumber, lineColumn);
                band.append(spec);
                break;
            }
        }
    }
    if (!seen[static_cast<int>(Section::Header)] && !seen[static_cast<int>(Section::Detail)] &&
        !seen[static_cast<int>(Section::Footer)])
        return Failure{0, u"no [header], [detail] or [footer] section"_s};
    auto failure = checkWidths(*tmpl);
    if (failure)
        failure->column = columnsLineStart.value(failure->line, 1);
    return failure;
}

}  // namespace

std::optional<Template> parseTemplate(QByteArrayView bytes, const QString& fileName,
                                      ParseError* error) {
    Template tmpl;
    tmpl.fileName = fileName;
    if (auto failure = parseLines(bytes, &tmpl)) {
        if (error)
            *error = ParseError{fileName, failure->line, failure->message, failure->column};
        return std::nullopt;
    }
    return tmpl;
}

std::optional<Template> loadTemplateFile(const QString& path, ParseError* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = ParseError{path, 0, u"cannot read the file: %1"_s.arg(file.errorString())};
        return std::nullopt;
    }
    if (file.size() > kMaxTemplateBytes) {
        if (error)
            *error = ParseError{path, 0, u"file larger than %1 bytes"_s.arg(kMaxTemplateBytes)};
        return std::nullopt;
    }
    return parseTemplate(file.readAll(), path, error);
}

}  // namespace cookhub::report
