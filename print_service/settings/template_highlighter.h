// Colours of the template text in the designer: sections, comments, line kinds and
// options, fields, cell widths and bars, and a red underline at a parse error.
#pragma once

#include <QSyntaxHighlighter>

namespace cookhub {

class TemplateHighlighter : public QSyntaxHighlighter {
  public:
    explicit TemplateHighlighter(QTextDocument* document);

    // Marks line `line` (1-based) from `column` on as wrong; 0 clears the mark.
    void setErrorAt(int line, int column);

  protected:
    void highlightBlock(const QString& text) override;

  private:
    int errorLine_ = 0;
    int errorColumn_ = 0;
};

}  // namespace cookhub
