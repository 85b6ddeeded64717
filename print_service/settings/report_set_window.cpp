#include "report_set_window.h"

#include "dialog_strip.h"

#include "designer_window.h"
#include "platform/message_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

TFReportSet::TFReportSet(const QString& appDir, const QString& connectionIni, QWidget* parent)
    : QDialog(parent), model_(appDir, connectionIni) {
    openDesigner_ = [](QWidget* owner, const QString& file, const QString& title) {
        TFDesigner designer(file, title, owner);
        designer.exec();
    };
    buildWindow();
    model_.GetPrintIniFile(QString());
    model_.LoadParam();
    showModel();
}

void TFReportSet::buildWindow() {
    setObjectName(u"FReportSet"_s);
    setWindowTitle(u"格式设置"_s);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(497, 518);
    setStyleSheet(
        u"#FReportSet { background: #f3f6fa; border: 1px solid #1f4e8c; }"
        u"QPushButton { padding: 3px 10px; }"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* title = new DialogStrip(u"格式设置"_s, this);
    title->closePicture()->setToolTip(u"退出"_s);
    connect(title->closePicture(), &QToolButton::clicked, this, &QDialog::reject);
    layout->addWidget(title);

    auto* pages = new QTabWidget(this);
    auto* page = new QWidget(pages);
    pages->addTab(page, u"打印格式"_s);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(14, 10, 14, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    auto* dirLabel = new QLabel(u"打印格式目录"_s, page);
    dirLabel->setStyleSheet(u"font-weight: bold; color: #1f4e8c;"_s);
    chooser_ = new QComboBox(page);
    chooser_->setObjectName(u"cbbDir"_s);
    chooser_->setEditable(false);
    dirLabel->setBuddy(chooser_);
    grid->addWidget(dirLabel, 0, 0);
    grid->addWidget(chooser_, 0, 1, 1, 2);
    connect(chooser_, &QComboBox::currentIndexChanged, this, [this] { GetPrintIniFile(); });

    for (int i = 0; i < kTemplateKindCount; ++i) {
        const TemplateKind& kind = templateKinds()[i];
        auto* label = new QLabel(kind.label, page);
        auto* box = new QComboBox(page);
        box->setObjectName(u"cbb_"_s + kind.key);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(220);
        label->setBuddy(box);
        auto* design = new QPushButton(u"设计报表"_s, page);
        design->setObjectName(u"btnDesign_"_s + kind.key);
        design->setToolTip(u"在设计器中打开%1的格式"_s.arg(kind.label));
        connect(design, &QPushButton::clicked, this, [this, i] { btnDesignClick(i); });
        grid->addWidget(label, i + 1, 0);
        grid->addWidget(box, i + 1, 1);
        grid->addWidget(design, i + 1, 2);
        rows_[i] = box;
    }
    grid->setColumnStretch(1, 1);
    layout->addWidget(pages, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(14, 8, 14, 10);
    auto* save = new QPushButton(u"保存"_s, this);
    save->setObjectName(u"btnSave"_s);
    save->setDefault(true);
    auto* quit = new QPushButton(u"退出"_s, this);
    quit->setObjectName(u"btnExit"_s);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(quit);
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &TFReportSet::btnSaveClick);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
}

void TFReportSet::showModel() {
    for (int i = 0; i < kTemplateKindCount; ++i) {
        QComboBox* box = rows_[i];
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(model_.listItems());
        box->setCurrentIndex(-1);
        box->setEditText(model_.rowTexts()[i]);
    }
}

void TFReportSet::takeRowTexts() {
    for (int i = 0; i < kTemplateKindCount; ++i) model_.setRowText(i, rows_[i]->currentText());
}

void TFReportSet::appendTemplateNames(const QString& reportsDir) {
    takeRowTexts();
    model_.appendTemplateNames(reportsDir);
    showModel();
}

void TFReportSet::setFormatFolders(const QStringList& names) {
    const QSignalBlocker block(chooser_);
    chooser_->clear();
    chooser_->addItems(names);
    chooser_->setCurrentIndex(-1);
}

void TFReportSet::GetPrintIniFile() {
    model_.GetPrintIniFile(chooser_->currentText());
    showModel();
}

void TFReportSet::LoadParam() {
    model_.LoadParam();
    showModel();
    const QSignalBlocker block(chooser_);
    chooser_->setCurrentIndex(-1);
}

void TFReportSet::btnSaveClick() {
    takeRowTexts();
    const ReportSetModel::SaveResult result = model_.save();
    showModel();
    if (result.ok()) {
        MessageBox::information(this, u"提示"_s, u"保存成功！请停止服务后重新启动服务生效"_s);
    } else {
        // The settings are not what the operator chose: saying "saved" would hide it.
        MessageBox::warning(this, u"警告"_s,
                            u"保存失败，无法写入：\n"_s + result.failedFiles.join(u'\n'));
    }
}

void TFReportSet::btnDesignClick(int row) {
    if (row < 0 || row >= kTemplateKindCount)
        return;
    takeRowTexts();
    if (openDesigner_)
        openDesigner_(this, model_.designerFile(row), templateKinds()[row].label);
}

}  // namespace cookhub
