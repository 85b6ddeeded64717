#include "template_highlighter.h"

#include <QRegularExpression>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

QTextCharFormat charFormat(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat f;
    f.setForeground(colour);
    if (bold)
        f.setFontWeight(QFont::Bold);
    f.setFontItalic(italic);
    return f;
}

}  // namespace

TemplateHighlighter::TemplateHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void TemplateHighlighter::setErrorAt(int line, int column) {
    if (line == errorLine_ && column == errorColumn_)
        return;
    const int before = errorLine_;
    errorLine_ = line;
    errorColumn_ = column;
    for (int number : {before, line}) {
        if (number > 0)
            rehighlightBlock(document()->findBlockByNumber(number - 1));
    }
}

void TemplateHighlighter::highlightBlock(const QString& text) {
    static const QTextCharFormat section = charFormat(QColor(0x1f, 0x4e, 0x8c), true);
    static const QTextCharFormat comment = charFormat(QColor(0x7a, 0x86, 0x94), false, true);
    static const QTextCharFormat kind = charFormat(QColor(0x8e, 0x24, 0xaa), true);
    static const QTextCharFormat option = charFormat(QColor(0x00, 0x7a, 0x87));
    static const QTextCharFormat field = charFormat(QColor(0xc2, 0x5e, 0x00), true);
    static const QTextCharFormat punctuation = charFormat(QColor(0x9a, 0xa3, 0xad), true);
    static const QTextCharFormat cellWidth = charFormat(QColor(0x2e, 0x7d, 0x32), true);
    static const QTextCharFormat key = charFormat(QColor(0x00, 0x7a, 0x87));

    const QString trimmed = text.trimmed();
    const qsizetype indent = text.indexOf(trimmed.isEmpty() ? QString() : trimmed.left(1));
    if (trimmed.startsWith(u'#')) {
        setFormat(0, int(text.size()), comment);
    } else if (trimmed.startsWith(u'[')) {
        setFormat(int(indent), int(trimmed.size()), section);
    } else if (!trimmed.isEmpty()) {
        const qsizetype bar = text.indexOf(u'|');
        const qsizetype headEnd = bar < 0 ? text.size() : bar;
        static const QRegularExpression word(u"\\S+"_s);
        bool first = true;
        const bool keyValue = bar < 0 && text.contains(u'=');
        for (auto it = word.globalMatch(QStringView(text).first(headEnd)); it.hasNext();) {
            const auto match = it.next();
            if (keyValue) {
                const qsizetype equals = text.indexOf(u'=');
                setFormat(int(indent), int(equals - indent), key);
                break;
            }
            setFormat(int(match.capturedStart()), int(match.capturedLength()),
                      first ? kind : option);
            first = false;
        }
        if (bar >= 0) {
            const bool cells = trimmed.startsWith(u"cols"_s);
            static const QRegularExpression cellHead(u"\\|\\s*(\\*|\\d+)([<^>]?)\\s*:"_s);
            for (qsizetype i = bar; i < text.size(); ++i) {
                if (text[i] == u'|' && (i == 0 || text[i - 1] != u'\\'))
                    setFormat(int(i), 1, punctuation);
            }
            if (cells) {
                for (auto it = cellHead.globalMatch(text, bar); it.hasNext();) {
                    const auto match = it.next();
                    setFormat(int(match.capturedStart(1)),
                              int(match.capturedEnd(2) - match.capturedStart(1)), cellWidth);
                }
            }
            static const QRegularExpression fieldPattern(u"\\{[^{}]*\\}"_s);
            for (auto it = fieldPattern.globalMatch(text, bar); it.hasNext();) {
                const auto match = it.next();
                setFormat(int(match.capturedStart()), int(match.capturedLength()), field);
            }
        }
    }

    if (errorLine_ > 0 && currentBlock().blockNumber() == errorLine_ - 1) {
        const int from = std::clamp(errorColumn_ - 1, 0, std::max(0, int(text.size()) - 1));
        const int length = std::max(1, int(text.size()) - from);
        for (int i = from; i < from + length && i < text.size(); ++i) {
            QTextCharFormat marked = QSyntaxHighlighter::format(i);
            marked.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            marked.setUnderlineColor(QColor(0xd9, 0x30, 0x25));
            marked.setBackground(QColor(0xfd, 0xec, 0xea));
            setFormat(i, 1, marked);
        }
        if (text.isEmpty())
            setFormat(0, 0, QTextCharFormat());
    }
}

}  // namespace cookhub
