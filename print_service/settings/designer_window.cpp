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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
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

QLabel* previewPane(QTabWidget* tabs, const QString& caption, QLabel** note) {
    auto* page = new QWidget(tabs);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    if (note) {
        *note = new QLabel(page);
        (*note)->setContentsMargins(6, 4, 6, 4);
        layout->addWidget(*note);
    }
    auto* scroll = new QScrollArea(page);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setStyleSheet(u"QScrollArea { background: #5b6573; }"_s);
    auto* view = new QLabel(scroll);
    view->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    view->setStyleSheet(u"background: transparent; padding: 10px;"_s);
    scroll->setWidget(view);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll);
    tabs->addTab(page, caption);
    return view;
}

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
    editor_ = new QPlainTextEdit(left);
    editor_->setObjectName(u"editor"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(11);
    editor_->setFont(mono);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setTabChangesFocus(false);
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

    auto* fieldsLabel = new QLabel(u"可用字段（双击或回车插入到光标处）"_s, left);
    fieldsLabel->setStyleSheet(u"color: #44505e;"_s);
    leftLayout->addWidget(fieldsLabel);
    fields_ = new QListWidget(left);
    fields_->setObjectName(u"fieldList"_s);
    fields_->setFlow(QListView::LeftToRight);
    fields_->setWrapping(true);
    fields_->setSpacing(2);
    fields_->setMaximumHeight(92);
    for (const auto& [name, meaning] : kFields) {
        auto* item = new QListWidgetItem(
            u"{%1} %2"_s.arg(QString::fromUtf16(name), QString::fromUtf16(meaning)), fields_);
        item->setData(Qt::UserRole, u"{%1}"_s.arg(QString::fromUtf16(name)));
        item->setToolTip(u"插入 {%1}"_s.arg(QString::fromUtf16(name)));
    }
    connect(fields_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { insertField(item->data(Qt::UserRole).toString()); });
    leftLayout->addWidget(fields_);
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
    QString shown = file_.isEmpty() ? u"（新格式，保存时选择文件）"_s : file_;
    QFile in(file_);
    if (!file_.isEmpty() && QFileInfo(file_).isFile() && in.open(QIODevice::ReadOnly)) {
        editor_->setPlainText(templateText(in.read(report::kMaxTemplateBytes + 1)));
    } else {
        editor_->setPlainText(QString());
        if (!file_.isEmpty())
            shown += u"（文件还不存在，保存时创建）"_s;
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
    thermalView_->setPixmap(QPixmap::fromImage(thermal_));
    pdf_ = report::renderPdfPage(ticket, 8.0);
    pdfView_->setPixmap(QPixmap::fromImage(pdf_));
    pdfNote_->setText(ticket.isEmpty() ? u"这个格式没有要打印的内容。"_s
                                       : u"%1 mm 纸，每行 %2 字符，%3 份"_s.arg(ticket.paperMm)
                                             .arg(ticket.columns)
                                             .arg(ticket.copies));
    if (ticket.isEmpty())
        thermalView_->setText(u"这个格式没有要打印的内容。"_s);
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
    status_->setText(u"已保存到 "_s + path);
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
