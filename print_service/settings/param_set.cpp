#include "param_set.h"

#include "autostart.h"
#include "dialog_strip.h"
#include "platform/message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

TFParamSet::TFParamSet(const QString& appDir, QWidget* parent, const QString& program)
    : QDialog(parent),
      file_(printSettingsFile(appDir)),
      program_(program.isEmpty() ? QCoreApplication::applicationFilePath() : program) {
    setObjectName(u"FParamSet"_s);
    setWindowTitle(u"参数设置"_s);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(497, 518);
    setStyleSheet(u"#FParamSet { background: #f3f6fa; border: 1px solid #1f4e8c; }"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    auto* strip = new DialogStrip(u"参数设置"_s, this);
    connect(strip->closePicture(), &QToolButton::clicked, this, &QDialog::reject);
    layout->addWidget(strip);

    auto* pages = new QTabWidget(this);
    auto* page = new QWidget(pages);
    pages->addTab(page, u"系统参数"_s);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(28, 24, 28, 24);
    grid->setVerticalSpacing(16);

    // Created in the order the loading walk follows.
    auto box = [&](const ParamControl& control, const QString& caption, int row) {
        auto* check = new QCheckBox(caption, page);
        check->setObjectName(control.key);
        grid->addWidget(check, row, 0, 1, 3);
        controls_.push_back(check);
    };
    auto spin = [&](const ParamControl& control, const QString& before, const QString& after,
                    int row) {
        auto* field = new QSpinBox(page);
        field->setObjectName(control.key);
        field->setRange(control.minimum, control.maximum);
        field->setFixedWidth(90);
        grid->addWidget(new QLabel(before, page), row, 0);
        grid->addWidget(field, row, 1);
        grid->addWidget(new QLabel(after, page), row, 2);
        controls_.push_back(field);
    };
    const auto& c = paramControls();
    box(c[0], u"系统自动启动"_s, 0);
    spin(c[1], u"刷新时间："_s, u"秒"_s, 1);
    spin(c[2], u"超过"_s, u"分钟后不再打印"_s, 2);
    box(c[3], u"叫起单厨打"_s, 3);
    box(c[4], u"即起单厨打"_s, 4);
    box(c[5], u"叫起出品单厨打"_s, 5);
    box(c[6], u"即起出品单厨打"_s, 6);
    box(c[7], u"写日志"_s, 7);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(8, 1);
    layout->addWidget(pages, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 8, 12, 12);
    buttons->addStretch();
    auto* save = new QPushButton(u"保存"_s, this);
    save->setObjectName(u"btnSave"_s);
    auto* quit = new QPushButton(u"退出"_s, this);
    quit->setObjectName(u"btnExit"_s);
    buttons->addWidget(save);
    buttons->addWidget(quit);
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &TFParamSet::btnSaveClick);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);

    showValues(ParamValues::designed());
    LoadParam();
}

ParamValues TFParamSet::shownValues() const {
    ParamValues values;
    for (QWidget* control : controls_) {
        if (auto* check = qobject_cast<QCheckBox*>(control))
            values.values.push_back(check->isChecked() ? 1 : 0);
        else
            values.values.push_back(static_cast<QSpinBox*>(control)->value());
    }
    return values;
}

void TFParamSet::showValues(const ParamValues& values) {
    for (size_t i = 0; i < controls_.size() && i < values.values.size(); ++i) {
        if (auto* check = qobject_cast<QCheckBox*>(controls_[i]))
            check->setChecked(values.values[i] != 0);
        else
            static_cast<QSpinBox*>(controls_[i])->setValue(values.values[i]);
    }
}

void TFParamSet::LoadParam() {
    // Controls the walk does not reach keep what they show.
    ParamValues values = shownValues();
    cookhub::LoadParam(file_, values);
    showValues(values);
}

void TFParamSet::SaveParam() {
    cookhub::SaveParam(file_, shownValues());
}

void TFParamSet::btnSaveClick() {
    // A desktop that cannot take the entry changes nothing, as a missing right would.
    if (shownValues().value(u"AutoRun"_s))
        (void)writeAutostartEntry(program_);
    else
        (void)removeAutostartEntry();
    SaveParam();
    MessageBox::information(this, u"提示"_s, u"保存成功！请停止服务后重新启动服务生效"_s);
    LoadParam();
}

}  // namespace cookhub
