// TFSetCon, the database connection dialog: server, database, port, login and password
// of the POS database, the servers visible on the network, a test, and the save.
//
// A thin view over set_con_values and server_list. The dialog does not own the
// service's connections: it is handed how to connect them and how to tell whether the
// main one is open.
#pragma once

#include "server_list.h"
#include "set_con_values.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;

namespace cookhub {

struct DatabaseLink {
    std::function<bool(const QString& connectionText)> connect;  // ConnectDatabase
    std::function<bool()> mainConnectionOpen;
};

// True when someone can answer a window: no COOKHUB_AUTO_ANSWER and a real display.
bool operatorAtHand();

class TFSetCon : public QDialog {
    Q_OBJECT

  public:
    using ServerLister = std::function<ServerListing()>;

    // `iniFile` is AppDir + ConnectionIni. Without a lister the servers are listed by
    // the protocol (see serverListerFromEnvironment).
    TFSetCon(const QString& iniFile, DatabaseLink link, QWidget* parent = nullptr,
             ServerLister lister = {});

    // The listing of an ordinary run: the target of COOKHUB_SSRP_TARGET, else the
    // broadcast; but never the broadcast without a display, where only tests and tools
    // run and nobody could choose from the list: then nothing is listed.
    static ServerLister serverListerFromEnvironment();

    void btnListClick();    // "列出可用服务器"
    void btnTestClick();    // "测试连接"
    void btnOKClick();      // "确定&S"
    void btnCancelClick();  // "取消&C"

  private:
    void FormCreate();
    ConnectionFields enteredFields() const;

    QString iniFile_;
    DatabaseLink link_;
    ServerLister lister_;
    QComboBox* cbServerList = nullptr;
    QLineEdit* edtDBName = nullptr;
    QLineEdit* edt_Port = nullptr;
    QLineEdit* edtUser = nullptr;
    QLineEdit* edtPsw = nullptr;
};

}  // namespace cookhub
