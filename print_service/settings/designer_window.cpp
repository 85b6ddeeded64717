#include "designer_window.h"

#include "escpos_picture.h"
#include "platform/message_box.h"
#include "platform/report/renderers.h"
#include "template_highlighter.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

constexpr int kPreviewPauseMs = 200;

// The names a template can print, with what they hold.
const std::pair<const char16_t*, const char16_t*> kFields[] = {
    {u"标题", u"单据名称"},
    {u"桌号", u"桌号"},
    {u"桌名", u"桌名"},
    {u"旧桌号", u"转台前桌号"},
    {u"旧桌名", u"转台前桌名"},
    {u"厨打名称", u"档口名称"},
    {u"单号", u"账单号"},
    {u"开单时间", u"开单时间"},
    {u"合计金额", u"合计金额"},
    {u"实收金额", u"实收金额"},
    {u"赠送金额", u"赠送金额"},
    {u"操作员", u"操作员"},
    {u"DishName", u"菜品名称"},
    {u"Nums:qty", u"数量"},
    {u"DishUnit", u"单位"},
    {u"num_price:money", u"单价"},
    {u"vch_print_memo", u"备注"},
    {u"ch_dish_barcode", u"规格"},
    {u"num_AddPrice:money", u"加价"},
    {u"vch_reason", u"退菜原因"},
    {u"ch_oldtableno", u"菜品原桌号"},
    {u"ch_oldtableName", u"菜品原桌名"},
};

// Whole lines a template is made of, for people who do not know the format by heart.
const std::pair<const char16_t*, const char16_t*> kLines[] = {
    {u"大字加粗居中", u"text big bold center | {标题}"},
    {u"普通一行", u"text | 桌号 {桌号}"},
    {u"加粗一行", u"text bold | 单号 {单号}"},
    {u"倍高一行", u"text tall | 桌名 {桌名}"},
    {u"倍宽一行", u"text wide | {桌号}"},
    {u"菜品和数量两列", u"cols tall bold | *: {DishName} | 10>: {Nums:qty}{DishUnit}"},
    {u"有备注才打印", u"text bold if=vch_print_memo |   备注: {vch_print_memo}"},
    {u"有规格才打印", u"text if=ch_dish_barcode |   规格: {ch_dish_barcode}"},
    {u"有加价才打印", u"text if=num_AddPrice |   加价: {num_AddPrice:money}"},
    {u"分隔线", u"rule | -"},
    {u"双线", u"rule | ="},
    {u"空一行", u"feed 1"},
};

}  // namespace

// The ticket picture, shrunk to the pane's width when the pane is narrower than the
// paper (never enlarged, so a dot stays a dot).
class PaperView : public QWidget {
  public:
    explicit PaperView(QWidget* parent) : QWidget(parent) {}

    void setImage(const QImage& image) {
        image_ = image;
        message_.clear();
        fitHeight();
        update();
    }
    void setMessage(const QString& message) {
        image_ = QImage();
        message_ = message;
        fitHeight();
        update();
    }

  protected:
    void resizeEvent(QResizeEvent*) override { fitHeight(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x5b, 0x65, 0x73));
        if (image_.isNull()) {
            p.setPen(Qt::white);
            p.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignHCenter | Qt::AlignTop,
                       message_);
            return;
        }
        const double scale = scaleFor(width());
        const QSize size(qRound(image_.width() * scale), qRound(image_.height() * scale));
        const QRect target(QPoint((width() - size.width()) / 2, kMargin), size);
        p.fillRect(target.translated(3, 3), QColor(0, 0, 0, 70));
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, image_);
    }

  private:
    static constexpr int kMargin = 10;
    double scaleFor(int width) const {
        if (image_.isNull())
            return 1;
        return std::clamp(double(width - 2 * kMargin) / image_.width(), 0.3, 1.0);
    }
    void fitHeight() {
        const int height =
            image_.isNull() ? 60 : qRound(image_.height() * scaleFor(width())) + 2 * kMargin;
        if (minimumHeight() != height)
            setMinimumHeight(height);
    }

    QImage image_;
    QString message_;
};

namespace {

PaperView* previewPane(QTabWidget* tabs, const QString& caption, QLabel** note) {
    auto* page = new QWidget(tabs);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    if (note) {
        *note = new QLabel(page);
        (*note)->setContentsMargins(6, 4, 6, 4);
        layout->addWidget(*note);
    }
    auto* scroll = new QScrollArea(page);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* view = new PaperView(scroll);
    scroll->setWidget(view);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll);
    tabs->addTab(page, caption);
    return view;
}

// The template text with its line numbers in a gutter, so "line 14" is found at once.
class TemplateEditor : public QPlainTextEdit {
  public:
    explicit TemplateEditor(QWidget* parent) : QPlainTextEdit(parent), gutter_(new Gutter(this)) {
        connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { fitGutter(); });
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
            if (dy != 0)
                gutter_->scroll(0, dy);
            else
                gutter_->update(0, rect.y(), gutter_->width(), rect.height());
        });
        fitGutter();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        const QRect area = contentsRect();
        gutter_->setGeometry(area.left(), area.top(), gutterWidth(), area.height());
    }

  private:
    class Gutter : public QWidget {
      public:
        explicit Gutter(TemplateEditor* editor) : QWidget(editor), editor_(editor) {}
        void paintEvent(QPaintEvent* event) override { editor_->paintGutter(event); }

      private:
        TemplateEditor* editor_;
    };

    int gutterWidth() const {
        const int digits = int(QString::number(std::max(1, blockCount())).size());
        return 12 + fontMetrics().horizontalAdvance(u'9') * std::max(2, digits);
    }
    void fitGutter() { setViewportMargins(gutterWidth(), 0, 0, 0); }
    void paintGutter(QPaintEvent* event) {
        QPainter p(gutter_);
        p.fillRect(event->rect(), QColor(0xee, 0xf1, 0xf5));
        p.setPen(QColor(0x8a, 0x95, 0xa3));
        const int current = textCursor().blockNumber();
        for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
            const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
            if (box.top() > event->rect().bottom())
                break;
            if (!block.isVisible())
                continue;
            QFont font = p.font();
            font.setBold(block.blockNumber() == current);
            p.setFont(font);
            p.drawText(QRectF(0, box.top(), gutter_->width() - 6, fontMetrics().height()),
                       Qt::AlignRight, QString::number(block.blockNumber() + 1));
        }
    }

    Gutter* gutter_;
};

}  // namespace

TFDesigner::TFDesigner(const QString& file, const QString& title, QWidget* parent)
    : QDialog(parent), file_(file), preview_(title) {
    buildWindow();
    loadFile();
    refreshNow();
    modified_ = false;
}

void TFDesigner::buildWindow() {
    setObjectName(u"FDesigner"_s);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    resize(1000, 700);  // fits a 1024 x 768 screen with its panel
    setMinimumSize(760, 480);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);

    auto* bar = new QHBoxLayout();
    auto* heading =
        new QLabel(u"<b>%1</b> 的打印格式"_s.arg(preview_.title().toHtmlEscaped()), this);
    bar->addWidget(heading);
    bar->addStretch();
    auto addButton = [&](const QString& caption, const QString& tip, auto slot) {
        auto* button = new QPushButton(caption, this);
        button->setToolTip(tip);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        bar->addWidget(button);
        return button;
    };
    addButton(u"保存"_s, u"保存到格式文件 (Ctrl+S)"_s, [this] {
        save();
    })->setObjectName(u"btnSave"_s);
    addButton(u"另存为…"_s, u"保存为另一个文件 (Ctrl+Shift+S)"_s, [this] { saveAs(); });
    addButton(u"导出PDF…"_s, u"把示例单据保存为 PDF"_s, [this] { exportPdf(); });
    addButton(u"关闭"_s, u"关闭设计器 (Esc)"_s, [this] { reject(); });
    layout->addLayout(bar);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    editor_ = new TemplateEditor(left);
    editor_->setObjectName(u"editor"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(11);
    editor_->setFont(mono);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the lists and buttons; the format counts a tab as a space anyway.
    editor_->setTabChangesFocus(true);
    editor_->setPlaceholderText(
        u"空白格式。在下方“常用行”里双击“完整示例格式”从一张完整的单据开始，"
        u"或双击其他行逐行添加。"_s);
    highlighter_ = new TemplateHighlighter(editor_->document());
    leftLayout->addWidget(editor_, 1);

    error_ = new QLabel(left);
    error_->setObjectName(u"errorLabel"_s);
    error_->setWordWrap(true);
    error_->setTextFormat(Qt::RichText);
    error_->setStyleSheet(
        u"QLabel { background: #fdecea; color: #a61b12; border: 1px solid #f2b8b2;"
        u" border-radius: 4px; padding: 5px; }"_s);
    error_->hide();
    connect(error_, &QLabel::linkActivated, this, [this] { goToError(); });
    leftLayout->addWidget(error_);

    auto* helpers = new QTabWidget(left);
    helpers->setObjectName(u"helpers"_s);
    helpers->setMaximumHeight(130);
    auto makeList = [&](const QString& caption, const QString& tip) {
        auto* list = new QListWidget(helpers);
        list->setFlow(QListView::LeftToRight);
        list->setWrapping(true);
        list->setSpacing(2);
        list->setToolTip(tip);
        helpers->addTab(list, caption);
        return list;
    };
    fields_ = makeList(u"字段(&D)"_s, u"双击或回车：把字段插入到光标处"_s);
    fields_->setObjectName(u"fieldList"_s);
    for (const auto& [name, meaning] : kFields) {
        const QString field = u"{%1}"_s.arg(QString::fromUtf16(name));
        auto* item = new QListWidgetItem(field + u' ' + QString::fromUtf16(meaning), fields_);
        item->setData(Qt::UserRole, field);
    }
    connect(fields_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { insertField(item->data(Qt::UserRole).toString()); });
    auto* lines = makeList(u"常用行(&L)"_s, u"双击或回车：在光标所在行之前插入这一行"_s);
    lines->setObjectName(u"lineList"_s);
    auto* starter = new QListWidgetItem(u"完整示例格式"_s, lines);
    starter->setData(Qt::UserRole, starterTemplate());
    starter->setToolTip(u"一张完整的单据格式，空白时从这里开始"_s);
    for (const auto& [caption, line] : kLines) {
        auto* item = new QListWidgetItem(QString::fromUtf16(caption), lines);
        item->setData(Qt::UserRole, QString::fromUtf16(line) + u'\n');
        item->setToolTip(QString::fromUtf16(line));
    }
    connect(lines, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        QTextCursor cursor = editor_->textCursor();
        cursor.movePosition(QTextCursor::StartOfBlock);
        cursor.insertText(item->data(Qt::UserRole).toString());
        editor_->setTextCursor(cursor);
        editor_->setFocus();
    });
    leftLayout->addWidget(helpers);
    splitter->addWidget(left);

    previews_ = new QTabWidget(splitter);
    previews_->setObjectName(u"previews"_s);
    thermalView_ = previewPane(previews_, u"热敏打印机 (ESC/POS)"_s, nullptr);
    pdfView_ = previewPane(previews_, u"PDF"_s, &pdfNote_);
    splitter->addWidget(previews_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({480, 500});
    layout->addWidget(splitter, 1);

    auto* statusBar = new QHBoxLayout();
    status_ = new QLabel(this);
    status_->setObjectName(u"statusLabel"_s);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    position_ = new QLabel(this);
    statusBar->addWidget(status_, 1);
    statusBar->addWidget(position_);
    layout->addLayout(statusBar);

    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(kPreviewPauseMs);
    connect(debounce_, &QTimer::timeout, this, &TFDesigner::refreshNow);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
        modified_ = true;
        debounce_->start();
    });
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        const QTextCursor cursor = editor_->textCursor();
        position_->setText(u"第 %1 行，第 %2 列"_s.arg(cursor.blockNumber() + 1)
                               .arg(cursor.positionInBlock() + 1));
    });

    new QShortcut(QKeySequence::Save, this, [this] { save(); });
    new QShortcut(QKeySequence(u"Ctrl+Shift+S"_s), this, [this] { saveAs(); });
    new QShortcut(QKeySequence(Qt::Key_F8), this, [this] { goToError(); });
    editor_->setFocus();
}

void TFDesigner::loadFile() {
    const TemplateLoad load = loadTemplateText(file_);
    editor_->setPlainText(load.text);
    QString shown = file_.isEmpty() ? u"新格式，保存时选择文件"_s : file_;
    switch (load.outcome) {
        case TemplateLoad::Outcome::Loaded:
            if (!load.utf8)
                shown += u"（注意：文件不是 UTF-8 文本，认不出的字显示为 \uFFFD，保存后会丢失）"_s;
            break;
        case TemplateLoad::Outcome::Missing:
            if (!file_.isEmpty())
                shown += u"（文件还不存在，保存时创建）"_s;
            break;
        case TemplateLoad::Outcome::Unreadable:
            // Never write over a file we could not read whole: saving asks for a new name.
            shown = u"无法打开 %1：%2。保存时请另选文件。"_s.arg(file_, load.message);
            file_.clear();
            break;
    }
    setWindowTitle(u"设计报表 - "_s +
                   (file_.isEmpty() ? preview_.title() : QFileInfo(file_).fileName()));
    status_->setText(shown);
}

void TFDesigner::refreshNow() {
    debounce_->stop();
    const bool ok = preview_.update(editor_->toPlainText());
    if (!ok) {
        const report::ParseError& e = preview_.error();
        const QString where = e.line > 0
                                  ? u"第 %1 行，第 %2 列："_s.arg(e.line).arg(std::max(e.column, 1))
                                  : QString();
        error_->setText(u"<b>格式有错误</b> %1%2 %3"_s.arg(
                            where.toHtmlEscaped(), e.message.toHtmlEscaped(),
                            e.line > 0 ? u"<a href=\"#\">转到 (F8)</a>"_s : QString()) +
                        (preview_.hasPreview() ? u"<br>右侧仍是上一次正确的预览。"_s : QString()));
        error_->show();
        highlighter_->setErrorAt(e.line, e.column);
        return;
    }
    error_->hide();
    highlighter_->setErrorAt(0, 0);

    const report::PreparedTicket& ticket = preview_.ticket();
    thermal_ = drawPaperRoll(interpretEscPos(preview_.escPos()), ticket.paperMm, ticket.columns);
    thermalView_->setImage(thermal_);
    pdf_ = report::renderPdfPage(ticket, 8.0);
    pdfView_->setImage(pdf_);
    pdfNote_->setText(ticket.isEmpty() ? u"这个格式没有要打印的内容。"_s
                                       : u"%1 mm 纸，每行 %2 字符，%3 份"_s.arg(ticket.paperMm)
                                             .arg(ticket.columns)
                                             .arg(ticket.copies));
    if (ticket.isEmpty())
        thermalView_->setMessage(u"这个格式没有要打印的内容。"_s);
}

void TFDesigner::goToError() {
    const report::ParseError& e = preview_.error();
    if (preview_.parsed() || e.line <= 0)
        return;
    const QTextBlock block = editor_->document()->findBlockByNumber(e.line - 1);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        std::clamp(e.column - 1, 0, int(block.length()) - 1));
    editor_->setTextCursor(cursor);
    editor_->setFocus();
}

QString TFDesigner::errorText() const {
    return error_->isHidden() ? QString() : error_->text();
}

QString TFDesigner::statusText() const {
    return status_->text();
}

void TFDesigner::insertField(const QString& field) {
    editor_->insertPlainText(field);
    editor_->setFocus();
}

bool TFDesigner::writeTo(const QString& path) {
    refreshNow();
    const QString text = editor_->toPlainText();
    TemplateSave result = saveTemplate(path, text, false);
    if (result.outcome == TemplateSave::Outcome::WouldReplaceGood) {
        if (!MessageBox::question(
                this, u"提示"_s,
                u"格式有错误，保存后这类单据将无法打印。\n仍要覆盖原来正确的文件吗？\n"_s + path))
            return false;
        result = saveTemplate(path, text, true);
    }
    if (result.outcome != TemplateSave::Outcome::Saved) {
        MessageBox::warning(this, u"警告"_s,
                            u"保存失败，文件没有改动：\n%1\n%2"_s.arg(path, result.message));
        return false;
    }
    file_ = path;
    modified_ = false;
    setWindowTitle(u"设计报表 - "_s + QFileInfo(path).fileName());
    status_->setText(u"已保存到 "_s + path +
                     (preview_.parsed() ? QString() : u"（格式仍有错误，这类单据打印不出来）"_s));
    return true;
}

bool TFDesigner::save() {
    if (file_.isEmpty())
        return saveAs();
    return writeTo(file_);
}

bool TFDesigner::saveAs() {
    const QString start = file_.isEmpty() ? QString() : file_;
    QString path = QFileDialog::getSaveFileName(this, u"保存格式"_s, start, u"打印格式 (*.rmf)"_s);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += u".rmf"_s;
    return writeTo(path);
}

void TFDesigner::exportPdf() {
    refreshNow();
    const QByteArray pdf = report::renderPdf(preview_.ticket());
    if (pdf.isEmpty())
        return;
    const QString path =
        QFileDialog::getSaveFileName(this, u"导出PDF"_s, QString(), u"PDF (*.pdf)"_s);
    if (path.isEmpty())
        return;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size())
        MessageBox::warning(this, u"警告"_s, u"无法写入 "_s + path);
    else
        status_->setText(u"示例单据已导出到 "_s + path);
}

void TFDesigner::reject() {
    if (modified_ &&
        !MessageBox::question(this, u"提示"_s, u"格式已修改但没有保存，确定关闭吗？"_s))
        return;
    QDialog::reject();
}

}  // namespace cookhub
