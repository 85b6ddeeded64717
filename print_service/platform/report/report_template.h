// The ".rmf" ticket template: what a kitchen ticket looks like, parsed from our own
// small UTF-8 text format (docs/REPORT_FORMAT.md describes it for template authors).
//
// Parsing never throws and never crashes on any byte input: it yields a template or a
// ParseError naming the file and line. The template holds no ticket data; a Report
// fills it with variables and dish rows.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace cookhub::report {

enum class TextSize { Normal, DoubleWidth, DoubleHeight, Double };
enum class Align { Left, Center, Right };
enum class CutMode { None, Partial, Full };

constexpr bool isWide(TextSize size) {
    return size == TextSize::DoubleWidth || size == TextSize::Double;
}
constexpr bool isTall(TextSize size) {
    return size == TextSize::DoubleHeight || size == TextSize::Double;
}

enum class NumberFormat { Plain, Quantity, Money, Integer };

// One piece of a text pattern: literal text, or a field taken by name from the
// ticket's variables or the current dish row.
struct Piece {
    bool isField = false;
    QString text;  // the literal, or the field name
    NumberFormat format = NumberFormat::Plain;
};
using Pattern = QList<Piece>;

struct Cell {
    int width = 0;  // in cells of the line's size; 0 takes what the fixed cells leave
    Align align = Align::Left;
    Pattern pattern;
};

// A line shows only when every condition holds.
struct Condition {
    QString name;
    bool whenEmpty = false;  // "unless=": the field must be empty
};

struct LineSpec {
    enum class Kind { Text, Columns, Rule, Feed };
    Kind kind = Kind::Text;
    TextSize size = TextSize::Normal;
    bool bold = false;
    Align align = Align::Left;
    bool clip = false;  // cut at the edge instead of wrapping
    QList<Condition> conditions;
    Pattern pattern;    // Text: the line; Rule: the fill
    QList<Cell> cells;  // Columns
    int feedLines = 0;  // Feed
    int sourceLine = 0;
};

struct Template {
    QString fileName;
    int paperMm = 80;
    int columns = 48;  // normal-size character cells across the paper
    int copies = 1;
    CutMode cut = CutMode::Partial;
    int feedBeforeCut = 4;
    int buzzer = 0;  // beeps before the ticket; 0 for none
    bool hasDetail = false;
    QList<LineSpec> header;
    QList<LineSpec> detail;
    QList<LineSpec> footer;
};

struct ParseError {
    QString file;
    int line = 0;  // 1-based; 0 when the error concerns the whole file
    QString message;
    // 1-based, in UTF-16 units of the decoded line (what a text editor counts); points
    // at the offending word, or at the line's first character. 0 without a line.
    int column = 0;
    QString toString() const;  // "file:line: message"
};

// Paper widths the format knows, with their default columns of normal text.
constexpr int kColumns80mm = 48;
constexpr int kColumns58mm = 32;
constexpr int kMinColumns = 16;
constexpr int kMaxColumns = 96;
constexpr qsizetype kMaxTemplateBytes = 256 * 1024;

// `fileName` only names the source in errors and in the template.
std::optional<Template> parseTemplate(QByteArrayView bytes, const QString& fileName,
                                      ParseError* error);

// Reads and parses a local file (a path as the file system knows it).
std::optional<Template> loadTemplateFile(const QString& path, ParseError* error);

}  // namespace cookhub::report
