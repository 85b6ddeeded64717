// The pages of the main dialog.
#include "app/pages.h"

#include "app/gbk_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace padlink {

namespace {
const QString kDisplayOn = QStringLiteral("停止显示");
const QString kDisplayOff = QStringLiteral("显示数据");
}  // namespace

MonitorPage::MonitorPage(std::function<bool()> toggle, QWidget* parent)
    : QWidget(parent), toggle_(std::move(toggle)) {
    auto* group = new QGroupBox(QStringLiteral("系统监控"), this);
    box_ = new QPlainTextEdit(group);
    box_->setReadOnly(true);
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    button_ = new QPushButton(kDisplayOn, group);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(box_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button_);
    groupLayout->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    connect(button_, &QPushButton::clicked, this, [this] {
        button_->setText(toggle_() ? kDisplayOn : kDisplayOff);
    });
    flushTimer_ = new QTimer(this);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(50);
    connect(flushTimer_, &QTimer::timeout, this, &MonitorPage::flush);
}

void MonitorPage::appendLine(const QString& text) {
    if (lines_ >= kLineLimit) {
        pending_.clear();
        clearFirst_ = true;
        lines_ = 0;
    }
    QString shown = text.toUpper();  // the box is an upper-case box
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines_ += static_cast<int>(shown.count(QLatin1Char('\n')));
    pending_ += shown;
    if (!flushTimer_->isActive())
        flushTimer_->start();
}

void MonitorPage::flush() {
    flushTimer_->stop();
    if (clearFirst_) {
        box_->clear();
        clearFirst_ = false;
    }
    if (pending_.isEmpty())
        return;
    box_->moveCursor(QTextCursor::End);
    box_->insertPlainText(pending_);
    pending_.clear();
    box_->ensureCursorVisible();
}

QString MonitorPage::text() {
    flush();
    return box_->toPlainText();
}

DownloadPage::DownloadPage(QWidget* parent) : QWidget(parent) {
    auto* info = new QGroupBox(QStringLiteral("下载信息"), this);
    list_ = new QTreeWidget(info);
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("PDA地址"), QStringLiteral("状态")});
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setColumnWidth(0, 38);
    list_->setColumnWidth(1, 80);
    list_->setColumnWidth(2, 220);
    (new QVBoxLayout(info))->addWidget(list_);

    auto* pdas = new QGroupBox(QStringLiteral("PDA列表"), this);
    tree_ = new QTreeWidget(pdas);
    tree_->setHeaderHidden(true);
    (new QVBoxLayout(pdas))->addWidget(tree_);

    auto* content = new QGroupBox(QStringLiteral("下载内容"), this);
    portBox_ = new QComboBox(content);
    auto* contentLayout = new QHBoxLayout(content);
    contentLayout->addWidget(new QLabel(QStringLiteral("串口"), content));
    contentLayout->addWidget(portBox_);
    contentLayout->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addWidget(pdas, 1);
    columns->addWidget(info, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(content);

    connect(portBox_, &QComboBox::activated, this, [this](int index) {
        if (portChosen_) {
            portChosen_(index);
        }
    });
}

void DownloadPage::setPorts(const std::vector<std::string>& portNames) {
    portBox_->clear();
    for (const std::string& name : portNames) {
        portBox_->addItem(fromGbk(name));
    }
}

void DownloadPage::showHandhelds(const QString& portName, const std::vector<std::string>& addresses) {
    tree_->clear();
    list_->clear();
    auto* root = new QTreeWidgetItem(tree_, {portName});
    root->setFlags(root->flags() | Qt::ItemIsUserCheckable);
    root->setCheckState(0, Qt::Unchecked);
    int number = 1;
    for (const std::string& address : addresses) {
        const QString text = fromGbk(address);
        auto* child = new QTreeWidgetItem(root, {text});
        child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
        child->setCheckState(0, Qt::Unchecked);
        new QTreeWidgetItem(list_, {QString::number(number++), text, QString()});
    }
    tree_->expandAll();
}

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    auto* text = new QLabel(kProgramVersionText, this);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    layout->addStretch();
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Padlink"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kProgramVersionText, this));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace padlink
