// The pages of the main dialog.
#include "app/pages.h"

#include "app/gbk_text.h"
#include "app/message_box.h"
#include "download/conversations.h"
#include "download/table_files.h"

#include <QCheckBox>
#include <QGridLayout>
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
const QString kDownloadCaption = QStringLiteral("下载");
const QString kStopDownloadCaption = QStringLiteral("停止下载");
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

DownloadPage::DownloadPage(std::atomic<int>& downloadMode, ManualChoice choice, QWidget* parent)
    : QWidget(parent), downloadMode_(downloadMode), choice_(choice) {
    auto* info = new QGroupBox(QStringLiteral("下载信息"), this);
    list_ = new QTreeWidget(info);
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("PDA地址"), QStringLiteral("状态")});
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setColumnWidth(0, 38);
    list_->setColumnWidth(1, 80);
    list_->setColumnWidth(2, 220);
    (new QVBoxLayout(info))->addWidget(list_);

    auto* pdas = new QGroupBox(QStringLiteral("PDA列表"), this);
    tree_ = new QTreeWidget(pdas);
    tree_->setHeaderHidden(true);
    (new QVBoxLayout(pdas))->addWidget(tree_);

    auto* content = new QGroupBox(QStringLiteral("下载内容"), this);
    auto* boxes = new QGridLayout;
    int shown = 0;
    for (int number = 1; number <= kTableCount; ++number) {
        const TableFile* table = tableFile(number);
        auto* box = new QCheckBox(fromGbk(table->title), content);
        box->setChecked(table->checkedAtStart);
        tableBoxes_[static_cast<std::size_t>(number - 1)] = box;
        if (table->boxShown) {
            boxes->addWidget(box, shown / 4, shown % 4);
            ++shown;
        } else {
            box->setHidden(true);
        }
    }
    portBox_ = new QComboBox(content);
    button_ = new QPushButton(kDownloadCaption, content);
    button_->setAutoDefault(false);
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("串口"), content));
    controls->addWidget(portBox_);
    controls->addStretch();
    controls->addWidget(button_);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(boxes);
    contentLayout->addLayout(controls);

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
    connect(tree_, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int) { treeItemChanged(item); });
    connect(button_, &QPushButton::clicked, this, [this] { pressDownload(); });
}

QCheckBox* DownloadPage::tableBox(int number) const {
    if (number < 1 || number > kTableCount) {
        return nullptr;
    }
    return tableBoxes_[static_cast<std::size_t>(number - 1)];
}

void DownloadPage::setPorts(const std::vector<std::string>& portNames) {
    portBox_->clear();
    for (const std::string& name : portNames) {
        portBox_->addItem(fromGbk(name));
    }
}

void DownloadPage::showHandhelds(const QString& portName, const std::vector<std::string>& addresses,
                                 HandheldRow* row) {
    row_ = row;
    filling_ = true;
    tree_->clear();
    list_->clear();
    auto* root = new QTreeWidgetItem(tree_, {portName});
    root->setFlags(root->flags() | Qt::ItemIsUserCheckable);
    root->setCheckState(0, Qt::Unchecked);
    int number = 1;
    checkedHandhelds_ = 0;
    for (const std::string& address : addresses) {
        if (address.empty() || number > static_cast<int>(kMaxHandhelds)) {
            break;
        }
        const QString text = fromGbk(address);
        auto* child = new QTreeWidgetItem(root, {text});
        child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
        // Marks outlive a change of port: show them as they are, so the tree
        // and what the poll thread will download never disagree.
        const HandheldEntry* entry = entryFor(text);
        const bool marked = entry != nullptr && entry->mark.load() == kDownloadMark;
        child->setCheckState(0, marked ? Qt::Checked : Qt::Unchecked);
        checkedHandhelds_ += marked ? 1 : 0;
        new QTreeWidgetItem(list_, {QString::number(number++), text, QString()});
    }
    tree_->expandAll();
    filling_ = false;
}

HandheldEntry* DownloadPage::entryFor(const QString& address) const {
    if (row_ == nullptr) {
        return nullptr;
    }
    for (HandheldEntry& entry : *row_) {
        const QString rendered = QString::asprintf("%02x%02x%02x", entry.addressHigh, entry.addressMiddle,
                                                   entry.addressLow);
        // The handheld file may write its hex digits in either case.
        if (rendered.compare(address, Qt::CaseInsensitive) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

void DownloadPage::setMark(HandheldEntry* entry, bool marked) {
    if (entry != nullptr) {
        entry->mark.store(marked ? kDownloadMark : 0);
    }
}

void DownloadPage::treeItemChanged(QTreeWidgetItem* item) {
    if (filling_ || item == nullptr) {
        return;
    }
    filling_ = true;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->parent() == nullptr) {
        for (int i = 0; i < item->childCount(); ++i) {
            item->child(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        }
        if (row_ != nullptr) {
            for (HandheldEntry& entry : *row_) {
                if (entry.addressLow == 0 && entry.addressMiddle == 0 && entry.addressHigh == 0) {
                    break;
                }
                setMark(&entry, checked);
            }
        }
    } else {
        setMark(entryFor(item->text(0)), checked);
        if (!checked) {
            item->parent()->setCheckState(0, Qt::Unchecked);
        }
    }
    // Counted from the tree rather than stepped per click: after the root
    // was ticked, unticking one child must not make the rest count as none.
    checkedHandhelds_ = 0;
    if (QTreeWidgetItem* root = tree_->topLevelItem(0)) {
        for (int i = 0; i < root->childCount(); ++i) {
            checkedHandhelds_ += root->child(i)->checkState(0) == Qt::Checked ? 1 : 0;
        }
    }
    filling_ = false;
}

void DownloadPage::setControlsEnabled(bool enabled) {
    tree_->setEnabled(enabled);
    portBox_->setEnabled(enabled);
    for (QCheckBox* box : tableBoxes_) {
        box->setEnabled(enabled);
    }
}

void DownloadPage::setRowStates(const QString& marked) {
    for (int i = 0; i < list_->topLevelItemCount() && i < static_cast<int>(kMaxHandhelds); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const HandheldEntry* entry = entryFor(item->text(1));
        const bool isMarked = entry != nullptr && entry->mark.load() == kDownloadMark;
        item->setText(2, isMarked ? marked : QString());
    }
}

void DownloadPage::pressDownload() {
    if (checkedHandhelds_ <= 0) {
        showMessageBox(this, QStringLiteral("选择下载的点菜机"), QStringLiteral("请选择要下载的点菜机"));
        return;
    }
    std::array<bool, kTableCount> boxes{};
    bool anyTable = false;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = tableBoxes_[i]->isChecked();
        anyTable = anyTable || boxes[i];
    }
    if (!anyTable) {
        showMessageBox(this, QStringLiteral("选择更新的表"), QStringLiteral("请选择要下载更新的表"));
        return;
    }
    if (!downloading_) {
        downloading_ = true;
        button_->setText(kStopDownloadCaption);
        setControlsEnabled(false);
        // The choice is complete before downloadMode lets a poll thread read it.
        takeChoice(choice_, boxes);
        setRowStates(QStringLiteral("准备更新..."));
        downloadMode_.store(1);
    } else {
        downloading_ = false;
        button_->setText(kDownloadCaption);
        setControlsEnabled(true);
        setRowStates(QStringLiteral("用户取消"));
        downloadMode_.store(0);
    }
}

void DownloadPage::showProgress(std::string_view record) {
    const auto parts = splitDownloadProgress(record);
    if (!parts) {
        return;
    }
    const QString address = fromGbk(parts->first);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->text(1).compare(address, Qt::CaseInsensitive) == 0) {
            item->setText(2, fromGbk(parts->second));
            return;
        }
    }
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
