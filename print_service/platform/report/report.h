// The report object of the printing pass: a template, the ticket's variables and its
// dish rows, prepared into the lines that go on paper.
//
// Everything here is plain Qt Core and safe without any application object; only
// renderPdf (renderers.h) needs a QGuiApplication. A Report is used by one thread at a
// time.
#pragma once

#include "report_template.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

class QSqlQuery;

namespace cookhub::report {

// One dish row: columns in their order, looked up without regard to case.
class ReportRow {
public:
    ReportRow() = default;
    ReportRow(std::initializer_list<std::pair<QString, QVariant>> columns);

    // Replaces the value of an existing column (any case) or appends a new one.
    void set(const QString& column, const QVariant& value);
    bool contains(QStringView column) const;
    // An invalid QVariant when there is no such column.
    QVariant value(QStringView column) const;
    const QList<std::pair<QString, QVariant>>& columns() const { return m_columns; }

private:
    QList<std::pair<QString, QVariant>> m_columns;
};

// Every row of a select from the first, with the query's column names. A query that
// is not an active select gives no rows; a forward-only query must not have moved yet.
QList<ReportRow> rowsFromQuery(QSqlQuery& query);

// A prepared paper line. Column lines come fully laid out (align Left); text lines
// carry their alignment and are padded by the renderer.
struct PreparedLine {
    QString text;  // printable: no control characters, every non-ASCII character is GBK
    TextSize size = TextSize::Normal;
    bool bold = false;
    Align align = Align::Left;
};

struct PreparedTicket {
    int paperMm = 80;
    int columns = 48;
    int copies = 1;
    CutMode cut = CutMode::Partial;
    int feedBeforeCut = 4;
    int buzzer = 0;
    QList<PreparedLine> lines;

    // "Prepares no page": nothing is to be printed.
    bool isEmpty() const { return lines.isEmpty(); }
};

// The value of an expression text as the printing pass sends it: a single-quoted
// literal ('' inside stands for one quote), several joined by "+", or a double-quoted
// literal. An unterminated literal takes the rest of the text; any other text (a bare
// number or word) is its own value, trimmed.
QString expressionValue(QStringView expression);

// How a value prints under a number format: quantities without trailing zeros
// (1.5, 2), money with two decimals, integers rounded. Text that is not a number
// prints as it is under every format.
QString formatValue(const QVariant& value, NumberFormat format);

class Report {
public:
    // Loads a local file. On failure the report holds no template (so it prepares no
    // page rather than printing an older kind) and lastError() says why.
    bool loadFromFile(const QString& path);
    void setTemplate(Template tmpl);
    void clearTemplate();
    bool hasTemplate() const { return m_template.has_value(); }
    const std::optional<Template>& currentTemplate() const { return m_template; }
    const ParseError& lastError() const { return m_error; }

    // Variable names match without regard to case.
    void setVariable(const QString& name, QStringView expressionText);
    void setValue(const QString& name, const QString& value);
    QString variable(const QString& name) const;
    void clearVariables();

    void setRows(QList<ReportRow> rows);
    const QList<ReportRow>& rows() const { return m_rows; }

    // Empty when no template is loaded, when the template has a detail band and no
    // rows are bound, or when every line is hidden by its conditions.
    PreparedTicket prepare() const;

private:
    std::optional<Template> m_template;
    ParseError m_error;
    QHash<QString, QString> m_variables;  // keyed by the case-folded name
    QList<ReportRow> m_rows;
};

}  // namespace cookhub::report
