// The template designer ("设计报表"): the template's text with its sections and fields
// coloured, beside a live preview of the sample ticket as the thermal printer prints it
// and as PDF. Edits show within a fifth of a second; a text that does not parse shows
// its error with line and column and keeps the last good preview.
#pragma once

#include "designer_core.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QTimer;

namespace cookhub {

class PaperView;
class TemplateHighlighter;

class TFDesigner : public QDialog {
    Q_OBJECT

  public:
    // Opens `file` when it loads (an empty template otherwise); `title` is the ticket
    // kind the sample ticket carries. An empty `file` asks for a name on the first save.
    TFDesigner(const QString& file, const QString& title, QWidget* parent = nullptr);

    // Saves to the file; a broken text over a good file only after the user's OK.
    // True when the file was written.
    bool save();
    bool saveAs();
    // Runs the pending preview at once instead of after the pause.
    void refreshNow();
    void goToError();

    QPlainTextEdit* editor() const { return editor_; }
    QString file() const { return file_; }
    QString errorText() const;
    QString statusText() const;
    const QImage& thermalImage() const { return thermal_; }
    const QImage& pdfImage() const { return pdf_; }
    const TemplatePreview& preview() const { return preview_; }

  protected:
    void reject() override;

  private:
    void buildWindow();
    void loadFile();
    void insertField(const QString& field);
    void exportPdf();
    bool writeTo(const QString& path);

    QString file_;
    TemplatePreview preview_;
    QPlainTextEdit* editor_ = nullptr;
    TemplateHighlighter* highlighter_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* position_ = nullptr;
    PaperView* thermalView_ = nullptr;
    PaperView* pdfView_ = nullptr;
    QLabel* pdfNote_ = nullptr;
    QTabWidget* previews_ = nullptr;
    QListWidget* fields_ = nullptr;
    QTimer* debounce_ = nullptr;
    QImage thermal_;
    QImage pdf_;
    bool modified_ = false;
};

}  // namespace cookhub
