// The report object: variables, dish rows and the layout of a prepared ticket.
#include "report.h"

#include "text_cells.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace cookhub::report {

ReportRow::ReportRow(std::initializer_list<std::pair<QString, QVariant>> columns)
{
    for (const auto& [name, value] : columns)
        set(name, value);
}

void ReportRow::set(const QString& column, const QVariant& value)
{
    for (auto& entry : m_columns) {
        if (entry.first.compare(column, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return;
        }
    }
    m_columns.append({column, value});
}

bool ReportRow::contains(QStringView column) const
{
    for (const auto& entry : m_columns) {
        if (QStringView(entry.first).compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QVariant ReportRow::value(QStringView column) const
{
    for (const auto& entry : m_columns) {
        if (QStringView(entry.first).compare(column, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return {};
}

QList<ReportRow> rowsFromQuery(QSqlQuery& query)
{
    QList<ReportRow> rows;
    if (!query.isActive() || !query.isSelect() || !query.first())
        return rows;
    do {
        const QSqlRecord record = query.record();
        ReportRow row;
        for (int i = 0; i < record.count(); ++i)
            row.set(record.fieldName(i), record.value(i));
        rows.append(std::move(row));
    } while (query.next());
    return rows;
}

QString expressionValue(QStringView expression)
{
    const QStringView text = expression.trimmed();
    if (text.isEmpty() || (text.front() != u'\'' && text.front() != u'"'))
        return text.toString();
    QString value;
    qsizetype i = 0;
    auto skipSpaces = [&] {
        while (i < text.size() && text[i].isSpace())
            ++i;
    };
    for (;;) {
        const QChar quote = text[i++];
        bool closed = false;
        while (i < text.size()) {
            if (text[i] == quote) {
                if (i + 1 < text.size() && text[i + 1] == quote) {
                    value += quote;
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            value += text[i++];
        }
        if (!closed)
            return value;
        skipSpaces();
        if (i == text.size())
            return value;
        if (text[i] != u'+')
            return text.toString();
        ++i;
        skipSpaces();
        if (i == text.size() || (text[i] != u'\'' && text[i] != u'"'))
            return text.toString();
    }
}

namespace {

QString withoutTrailingZeros(QString text)
{
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

QString formatNumber(double number, NumberFormat format)
{
    if (!std::isfinite(number))
        return {};
    QString text;
    switch (format) {
    case NumberFormat::Plain: text = withoutTrailingZeros(QString::number(number, 'f', 6)); break;
    case NumberFormat::Quantity: text = withoutTrailingZeros(QString::number(number, 'f', 3)); break;
    case NumberFormat::Money: text = QString::number(number, 'f', 2); break;
    case NumberFormat::Integer: text = QString::number(number, 'f', 0); break;
    }
    // Rounding a small negative number must not print a minus sign on zero.
    if (text.startsWith(u'-')
        && std::all_of(text.cbegin() + 1, text.cend(), [](QChar c) { return c == u'0' || c == u'.'; }))
        text.remove(0, 1);
    return text;
}

bool isNumberType(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// Null, blank text and zero count as empty for "if=" and "unless=".
bool isEmptyValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    if (isNumberType(value))
        return value.toDouble() == 0.0;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return true;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && number == 0.0;
}

struct Context {
    const QHash<QString, QString>* variables;
    const ReportRow* row;  // the current row, the first row outside the detail band, or none
    bool detail;
};

QVariant lookup(const Context& context, const QString& name)
{
    const QString key = name.toCaseFolded();
    if (context.detail && context.row && context.row->contains(name))
        return context.row->value(name);
    if (const auto found = context.variables->constFind(key); found != context.variables->cend())
        return *found;
    if (context.row)
        return context.row->value(name);
    return {};
}

QString renderPattern(const Pattern& pattern, const Context& context)
{
    QString text;
    for (const Piece& piece : pattern)
        text += piece.isField ? formatValue(lookup(context, piece.text), piece.format) : piece.text;
    return printableText(text);
}

QString trimmedRight(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    text.truncate(end);
    return text;
}

void layoutLine(const LineSpec& spec, const Context& context, int columns, QList<PreparedLine>* out)
{
    for (const Condition& condition : spec.conditions) {
        if (isEmptyValue(lookup(context, condition.name)) != condition.whenEmpty)
            return;
    }
    const int cells = isWide(spec.size) ? columns / 2 : columns;
    switch (spec.kind) {
    case LineSpec::Kind::Feed:
        for (int i = 0; i < spec.feedLines; ++i)
            out->append(PreparedLine{});
        return;
    case LineSpec::Kind::Rule: {
        const QString fill = printableText(spec.pattern.isEmpty() ? u"-"_s : spec.pattern.front().text);
        QString line;
        int used = 0;
        for (qsizetype i = 0; !fill.isEmpty(); i = (i + 1) % fill.size()) {
            const int width = fill[i].unicode() < 0x80 ? 1 : 2;
            if (used + width > cells)
                break;
            line += fill[i];
            used += width;
        }
        out->append(PreparedLine{line, spec.size, spec.bold, Align::Left});
        return;
    }
    case LineSpec::Kind::Text: {
        const QString text = renderPattern(spec.pattern, context);
        for (const QString& piece : fitCells(text, cells, spec.clip))
            out->append(PreparedLine{trimmedRight(piece), spec.size, spec.bold, spec.align});
        return;
    }
    case LineSpec::Kind::Columns: {
        int fixed = 0;
        for (const Cell& cell : spec.cells)
            fixed += cell.width;
        QList<QStringList> pieces;
        QList<int> widths;
        qsizetype height = 1;
        for (const Cell& cell : spec.cells) {
            const int width = cell.width == 0 ? std::max(2, cells - fixed) : cell.width;
            widths.append(width);
            pieces.append(fitCells(renderPattern(cell.pattern, context), width, spec.clip));
            height = std::max(height, pieces.back().size());
        }
        for (qsizetype row = 0; row < height; ++row) {
            QString line;
            for (qsizetype c = 0; c < spec.cells.size(); ++c) {
                const QString piece = row < pieces[c].size() ? pieces[c][row] : QString();
                line += alignCells(piece, widths[c], spec.cells[c].align);
            }
            out->append(PreparedLine{trimmedRight(line), spec.size, spec.bold, Align::Left});
        }
        return;
    }
    }
}

}  // namespace

QString formatValue(const QVariant& value, NumberFormat format)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return formatNumber(value.toDouble(), format);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s);
    case QMetaType::QDate:
        return value.toDate().toString(u"yyyy-MM-dd"_s);
    default:
        break;
    }
    if (isNumberType(value))
        return format == NumberFormat::Money ? formatNumber(value.toDouble(), format) : value.toString();
    const QString text = value.toString();
    if (format == NumberFormat::Plain)
        return text;
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(number) ? formatNumber(number, format) : text;
}

bool Report::loadFromFile(const QString& path)
{
    auto loaded = loadTemplateFile(path, &m_error);
    if (!loaded) {
        m_template.reset();
        return false;
    }
    m_template = std::move(*loaded);
    m_error = {};
    return true;
}

void Report::setTemplate(Template tmpl)
{
    m_template = std::move(tmpl);
    m_error = {};
}

void Report::clearTemplate() { m_template.reset(); }

void Report::setVariable(const QString& name, QStringView expressionText)
{
    m_variables.insert(name.toCaseFolded(), expressionValue(expressionText));
}

void Report::setValue(const QString& name, const QString& value) { m_variables.insert(name.toCaseFolded(), value); }

QString Report::variable(const QString& name) const { return m_variables.value(name.toCaseFolded()); }

void Report::clearVariables() { m_variables.clear(); }

void Report::setRows(QList<ReportRow> rows) { m_rows = std::move(rows); }

PreparedTicket Report::prepare() const
{
    PreparedTicket ticket;
    if (!m_template)
        return ticket;
    const Template& tmpl = *m_template;
    ticket.paperMm = tmpl.paperMm;
    ticket.columns = tmpl.columns;
    ticket.copies = tmpl.copies;
    ticket.cut = tmpl.cut;
    ticket.feedBeforeCut = tmpl.feedBeforeCut;
    ticket.buzzer = tmpl.buzzer;
    // A kitchen ticket without dishes is no ticket: its header alone must not print.
    if (tmpl.hasDetail && m_rows.isEmpty())
        return ticket;

    const ReportRow* first = m_rows.isEmpty() ? nullptr : &m_rows.front();
    const Context outside{&m_variables, first, false};
    for (const LineSpec& spec : tmpl.header)
        layoutLine(spec, outside, tmpl.columns, &ticket.lines);
    for (const ReportRow& row : m_rows) {
        const Context inside{&m_variables, &row, true};
        for (const LineSpec& spec : tmpl.detail)
            layoutLine(spec, inside, tmpl.columns, &ticket.lines);
    }
    for (const LineSpec& spec : tmpl.footer)
        layoutLine(spec, outside, tmpl.columns, &ticket.lines);

    bool visible = false;
    for (const PreparedLine& line : ticket.lines)
        visible = visible || !line.text.isEmpty();
    if (!visible)
        ticket.lines.clear();
    return ticket;
}

}  // namespace cookhub::report
