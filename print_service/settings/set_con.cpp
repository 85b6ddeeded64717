#include "set_con.h"

#include "dialog_strip.h"
#include "platform/message_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

bool operatorAtHand() {
    const QString automatic = qEnvironmentVariable("COOKHUB_AUTO_ANSWER").trimmed().toLower();
    if (automatic == u"ok"_s || automatic == u"cancel"_s)
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen"_s && platform != u"minimal"_s;
}

TFSetCon::ServerLister TFSetCon::serverListerFromEnvironment() {
    return [] {
        ServerListing listing;
        if (!qEnvironmentVariableIsSet("COOKHUB_SSRP_TARGET") && !operatorAtHand())
            return listing;
        const auto target = ssrpTargetFromEnvironment(&listing.error);
        return target ? ListAvailableSQLServers(*target) : listing;
    };
}

TFSetCon::TFSetCon(const QString& iniFile, DatabaseLink link, QWidget* parent, ServerLister lister)
    : QDialog(parent),
      iniFile_(iniFile),
      link_(std::move(link)),
      lister_(lister ? std::move(lister) : serverListerFromEnvironment()) {
    setObjectName(u"FSetCon"_s);
    setWindowTitle(u"连接测试"_s);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(416, 302);
    setStyleSheet(u"#FSetCon { background: #f3f6fa; border: 1px solid #1f4e8c; }"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    auto* strip = new DialogStrip(u"数据库服务器配置"_s, this);
    connect(strip->closePicture(), &QToolButton::clicked, this, &TFSetCon::btnCancelClick);
    layout->addWidget(strip);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(24, 16, 24, 8);
    grid->setVerticalSpacing(10);
    auto field = [&](QLineEdit*& edit, const char* name, const QString& label, int row,
                     bool masked) {
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        if (masked)
            edit->setEchoMode(QLineEdit::Password);
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(edit, row, 1, 1, 2);
    };
    cbServerList = new QComboBox(this);
    cbServerList->setObjectName(u"cbServerList"_s);
    cbServerList->setEditable(true);
    grid->addWidget(new QLabel(u"服务器列表："_s, this), 0, 0);
    grid->addWidget(cbServerList, 0, 1, 1, 2);
    field(edtDBName, "edtDBName", u"数据库名  ："_s, 1, false);
    field(edt_Port, "edt_Port", u"端口："_s, 2, false);
    field(edtUser, "edtUser", u"数据库用户："_s, 3, true);
    field(edtPsw, "edtPsw", u"数据库密码："_s, 4, true);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 4, 16, 14);
    auto button = [&](const char* name, const QString& caption, void (TFSetCon::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button("btnList", u"列出可用服务器"_s, &TFSetCon::btnListClick);
    button("btnTest", u"测试连接"_s, &TFSetCon::btnTestClick);
    buttons->addStretch();
    button("btnOK", u"确定&S"_s, &TFSetCon::btnOKClick);
    button("btnCancel", u"取消&C"_s, &TFSetCon::btnCancelClick);
    layout->addLayout(buttons);

    FormCreate();
}

void TFSetCon::FormCreate() {
    btnListClick();
    // The stored values are shown even when the listing failed: fields left empty
    // would be saved over the working settings by the next OK.
    const ConnectionFields f = readConnectionFields(iniFile_);
    edt_Port->setText(f.port);
    cbServerList->setEditText(f.server);
    edtDBName->setText(f.database);
    edtPsw->setText(f.password);
    edtUser->setText(f.user);
}

void TFSetCon::btnListClick() {
    const ServerListing listing = lister_();
    if (!listing.error.isEmpty()) {
        MessageBox::warning(this, u"警告"_s, listing.error);
        return;
    }
    const QString text = cbServerList->currentText();
    cbServerList->clear();
    cbServerList->addItems(listing.names);
    cbServerList->setEditText(text);
}

ConnectionFields TFSetCon::enteredFields() const {
    return {cbServerList->currentText(), edtDBName->text(), edt_Port->text(), edtUser->text(),
            edtPsw->text()};
}

void TFSetCon::btnTestClick() {
    if (link_.connect(dialogConnectionText(enteredFields(), iniFile_)))
        MessageBox::information(this, u"提示"_s, u"数据库连接成功！"_s);
    else
        MessageBox::information(this, u"警告"_s, u"连接不上数据库！"_s);
}

void TFSetCon::btnOKClick() {
    const ConnectionFields fields = enteredFields();
    if (!link_.mainConnectionOpen() && !link_.connect(dialogConnectionText(fields, iniFile_))) {
        MessageBox::information(this, u"提示"_s, u"数据库连接不成功，程序将无法继续运行！"_s);
        return;
    }
    if (!saveConnectionFields(iniFile_, fields)) {
        // Kept open: what the operator typed is not lost with a failed save.
        MessageBox::warning(this, u"警告"_s, u"无法保存连接设置：%1"_s.arg(iniFile_));
        return;
    }
    accept();
}

void TFSetCon::btnCancelClick() {
    reject();
}

}  // namespace cookhub
