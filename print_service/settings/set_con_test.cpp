#include "settings/set_con.h"
#include "engine/test_support/pos_database.h"
#include "platform/database.h"
#include "platform/ini_file.h"
#include "platform/message_box.h"
#include "settings/param_set.h"
#include "settings/set_con_startup.h"
#include "service/service_threads.h"
#include "shell/tfmain.h"
#include "service/utility.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void closeServiceConnections() {
    for (const QString& name : {kMainConnection, kMonitorConnection, kWindowConnection})
        closeConnection(name);
}

class ConnectionDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        closeServiceConnections();
        MessageBox::setHandler([this](const MessageRequest& request) {
            messages << request.caption + u": "_s + request.text;
            return true;
        });
        ini = home.appDir() + u"rolmav3.ini"_s;
        WriteIniString(ini, u"branch_db"_s, u"Servername"_s, u"kitchen-pc"_s);
        WriteIniString(ini, u"branch_db"_s, u"SQLPort"_s, u"14330"_s);
        WriteIniString(ini, u"branch_db"_s, u"Logid"_s, u"sa"_s);
        WriteIniString(ini, u"branch_db"_s, u"Logpass"_s, u"secret"_s);
        link.connect = [this](const QString& text) {
            tried << text;
            return ConnectDatabase(clock, text, home.appDir());
        };
        link.mainConnectionOpen = [] { return isConnectionOpen(kMainConnection); };
    }
    void TearDown() override {
        MessageBox::setHandler({});
        closeServiceConnections();
    }

    std::unique_ptr<TFSetCon> open() {
        return std::make_unique<TFSetCon>(ini, link, nullptr, [] {
            return ServerListing{{u"listed"_s}, {}};
        });
    }
    static void type(TFSetCon& dialog, const char* field, const QString& text) {
        if (auto* edit = dialog.findChild<QLineEdit*>(QLatin1String(field)))
            edit->setText(text);
        else
            dialog.findChild<QComboBox*>(QLatin1String(field))->setEditText(text);
    }
    static void press(TFSetCon& dialog, const char* button) {
        dialog.findChild<QPushButton*>(QLatin1String(button))->click();
    }

    test::PosHome home;
    QString ini;
    ManualClock clock;
    DatabaseLink link;
    QStringList tried;
    QStringList messages;
};

TEST_F(ConnectionDialogTest, OpensWithTheListingAndTheStoredValuesUserAndPasswordMasked) {
    auto dialog = open();
    auto* servers = dialog->findChild<QComboBox*>(u"cbServerList"_s);
    EXPECT_EQ(servers->count(), 1);
    EXPECT_EQ(servers->itemText(0), u"listed"_s);
    EXPECT_EQ(servers->currentText(), u"kitchen-pc"_s);  // the edit part keeps the stored name
    EXPECT_EQ(dialog->findChild<QLineEdit*>(u"edt_Port"_s)->text(), u"14330"_s);
    EXPECT_EQ(dialog->findChild<QLineEdit*>(u"edtDBName"_s)->text(), u"pos.db"_s);
    for (const char* masked : {"edtUser", "edtPsw"})
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QLatin1String(masked))->echoMode(),
                  QLineEdit::Password);
    EXPECT_EQ(dialog->findChild<QLineEdit*>(u"edtPsw"_s)->text(), u"secret"_s);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ConnectionDialogTest, FailedListingIsReportedAndTheStoredValuesStillShow) {
    qputenv("COOKHUB_SSRP_TARGET", "not-an-address");
    TFSetCon dialog(ini, link);
    qputenv("COOKHUB_SSRP_TARGET", "127.0.0.1:9");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(u"警告: COOKHUB_SSRP_TARGET"_s))
        << messages[0].toStdString();
    EXPECT_EQ(dialog.findChild<QComboBox*>(u"cbServerList"_s)->currentText(), u"kitchen-pc"_s);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(u"edtPsw"_s)->text(), u"secret"_s);
}

TEST_F(ConnectionDialogTest, OkWhileTheConnectionIsDownKeepsTheDialogAndTheFileOnFailure) {
    const QByteArray before = readAll(ini);
    auto dialog = open();
    type(*dialog, "edtDBName", u"missing.db"_s);  // the embedded engine's wrong login
    type(*dialog, "edtPsw", u"wrong"_s);
    press(*dialog, "btnOK");
    EXPECT_EQ(messages, QStringList{u"提示: 数据库连接不成功，程序将无法继续运行！"_s});
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(readAll(ini), before);
    ASSERT_EQ(tried.size(), 1);

    // Corrected, the same OK connects and saves, owner-only.
    type(*dialog, "edtDBName", u"pos.db"_s);
    press(*dialog, "btnOK");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(isConnectionOpen(kMainConnection));
    EXPECT_EQ(ReadIniString(ini, u"branch_db"_s, u"Logpass"_s), u"wrong"_s);
    EXPECT_EQ(QFile(ini).permissions() & QFileDevice::Permissions(0x0077),
              QFileDevice::Permissions());
}

TEST_F(ConnectionDialogTest, OkWhileTheConnectionIsUpSavesWithoutTrying) {
    ASSERT_TRUE(ConnectDatabase(clock, home.connectionString(), home.appDir()));
    auto dialog = open();
    type(*dialog, "cbServerList", u"nowhere"_s);
    type(*dialog, "edtDBName", u"missing.db"_s);
    type(*dialog, "edt_Port", u"1"_s);
    press(*dialog, "btnOK");
    EXPECT_TRUE(tried.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const ConnectionFields saved = readConnectionFields(ini);
    EXPECT_EQ(saved.server, u"nowhere"_s);
    EXPECT_EQ(saved.database, u"missing.db"_s);
    EXPECT_EQ(saved.port, u"1"_s);
    EXPECT_EQ(saved.user, u"sa"_s);
    // The optional keys beside the five stay.
    EXPECT_EQ(ReadIniString(ini, u"branch_db"_s, u"Provider"_s), u"SQLite"_s);
}

TEST_F(ConnectionDialogTest, FailedSaveIsReportedAndKeepsTheDialogOpen) {
    ASSERT_TRUE(ConnectDatabase(clock, home.connectionString(), home.appDir()));
    TFSetCon dialog(home.appDir() + u"gone/rolmav3.ini"_s, link, nullptr,
                    [] { return ServerListing{}; });
    type(dialog, "cbServerList", u"kitchen-pc"_s);
    press(dialog, "btnOK");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(u"警告: 无法保存连接设置"_s)) << messages[0].toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.findChild<QComboBox*>(u"cbServerList"_s)->currentText(), u"kitchen-pc"_s);
}

TEST_F(ConnectionDialogTest, TestConnectsWithoutThePortWhileTheServiceUsesIt) {
    auto dialog = open();
    press(*dialog, "btnTest");
    ASSERT_EQ(tried.size(), 1);
    EXPECT_EQ(ConnectionText::parse(tried[0]).dataSource, u"kitchen-pc"_s);
    EXPECT_EQ(messages, QStringList{u"提示: 数据库连接成功！"_s});
    EXPECT_EQ(ConnectionText::parse(BranchDbSettings::read(ini).connectionString()).dataSource,
              u"kitchen-pc,14330"_s);

    type(*dialog, "edtDBName", u"missing.db"_s);
    press(*dialog, "btnTest");
    EXPECT_EQ(messages.last(), u"警告: 连接不上数据库！"_s);
    // Cancel saves nothing, whatever the test did to the connections.
    const QByteArray before = readAll(ini);
    press(*dialog, "btnCancel");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(readAll(ini), before);
}

// A resolution service on 127.0.0.1 that answers the first request with two servers.
class TwoServerResponder {
  public:
    TwoServerResponder() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            pollfd waiting{fd_, POLLIN, 0};
            if (::poll(&waiting, 1, 5000) != 1)
                return;
            char byte = 0;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ::recvfrom(fd_, &byte, 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            for (const char* name : {"POS-B", "POS-A"}) {
                const QByteArray data = "ServerName;" + QByteArray(name) +
                                        ";InstanceName;MSSQLSERVER;IsClustered;No;Version;9.0;;";
                const QByteArray datagram =
                    QByteArray(1, 0x05) + char(data.size()) + char(0) + data;
                ::sendto(fd_, datagram.constData(), size_t(datagram.size()), 0,
                         reinterpret_cast<sockaddr*>(&from), fromLength);
            }
        });
    }
    ~TwoServerResponder() {
        thread_.join();
        ::close(fd_);
    }
    quint16 port = 0;

  private:
    int fd_ = -1;
    std::thread thread_;
};

TEST_F(ConnectionDialogTest, ListButtonFillsTheListInTheOrderTheResponderAnswers) {
    TwoServerResponder responder;
    qputenv("COOKHUB_SSRP_TARGET", QByteArray("127.0.0.1:") + QByteArray::number(responder.port));
    TFSetCon dialog(ini, link);  // opening lists through the environment's target
    qputenv("COOKHUB_SSRP_TARGET", "127.0.0.1:9");
    auto* servers = dialog.findChild<QComboBox*>(u"cbServerList"_s);
    ASSERT_EQ(servers->count(), 2);
    EXPECT_EQ(servers->itemText(0), u"POS-B"_s);
    EXPECT_EQ(servers->itemText(1), u"POS-A"_s);
    EXPECT_EQ(servers->currentText(), u"kitchen-pc"_s);
}

class RecordingThreads final : public ServiceThreads {
  public:
    void startWorker(const RunToken&) override { ++workers; }
    void startMonitor(const RunToken&) override {}
    int workers = 0;
};

// Closes whichever settings window opens modally, once it is up.
void closeModalWhenOpen(QStringList* seen) {
    QTimer::singleShot(0, [seen] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            *seen << modal->objectName();
            modal->close();
        }
    });
}

TEST(SettingsButtons, ParametersAskFirstAndConnectionStopsWithoutAsking) {
    closeServiceConnections();
    test::PosHome home;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QStringList messages;
    bool answer = false;
    MessageBox::setHandler([&](const MessageRequest& request) {
        messages << request.text;
        return answer;
    });
    ServiceState state;
    state.appDir = home.appDir();
    state.connectionIni = chooseConnectionIni(state.appDir);
    ManualClock clock;
    RecordingThreads threads;
    TFMain window(state, clock, threads);
    window.btnBeginClick();
    ASSERT_TRUE(window.isServiceRunning());
    auto* parameters = window.findChild<QToolButton*>(u"btn_Test"_s);
    auto* connection = window.findChild<QToolButton*>(u"btn7"_s);
    ASSERT_TRUE(parameters->isEnabled());
    ASSERT_TRUE(connection->isEnabled());

    QStringList opened;
    parameters->click();  // Cancel on the question: still running, nothing opens
    EXPECT_TRUE(window.isServiceRunning());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(messages,
              QStringList{u"厨打已经启动，必须停止服务后才能进行设置，确定停止服务设置吗？"_s});

    answer = true;
    closeModalWhenOpen(&opened);
    parameters->click();
    EXPECT_FALSE(window.isServiceRunning());
    EXPECT_EQ(opened, QStringList{u"FParamSet"_s});

    window.btnBeginClick();
    messages.clear();
    closeModalWhenOpen(&opened);
    connection->click();
    EXPECT_FALSE(window.isServiceRunning());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(opened, (QStringList{u"FParamSet"_s, u"FSetCon"_s}));
    MessageBox::setHandler({});
    closeServiceConnections();
}

TEST(HeadlessStart, WrongConnectionRetriesInsteadOfWaitingOnTheDialog) {
    closeServiceConnections();
    test::PosHome home;
    const QString ini = home.appDir() + u"rolmav3.ini"_s;
    WriteIniString(ini, u"branch_db"_s, u"Database"_s, u"moved.db"_s);
    QStringList messages;
    MessageBox::setHandler([&](const MessageRequest& request) {
        messages << request.text;
        return true;
    });
    ServiceState state;
    state.appDir = home.appDir();
    state.connectionIni = chooseConnectionIni(state.appDir);
    ManualClock clock;
    RecordingThreads threads;
    TFMain window(state, clock, threads);  // offscreen: nobody could answer a dialog
    EXPECT_EQ(messages, QStringList{u"连接不上数据库！请关闭软件并重启软件后再启动"_s});
    EXPECT_FALSE(window.isServiceRunning());
    auto* retry = window.findChild<ConnectionRetry*>();
    ASSERT_NE(retry, nullptr);
    EXPECT_TRUE(retry->active());
    EXPECT_EQ(state.statusText(), u"连接不上数据库，5 秒后重试"_s);

    retry->attemptNow();  // still wrong: the wait grows
    EXPECT_EQ(state.statusText(), u"连接不上数据库，10 秒后重试"_s);
    EXPECT_TRUE(retry->active());

    // Fixed in the file: the next try connects and starts the service.
    WriteIniString(ini, u"branch_db"_s, u"Database"_s, u"pos.db"_s);
    retry->attemptNow();
    EXPECT_FALSE(retry->active());
    EXPECT_TRUE(window.isServiceRunning());
    EXPECT_EQ(threads.workers, 1);
    EXPECT_TRUE(state.statusText().isEmpty());
    MessageBox::setHandler({});
    closeServiceConnections();
}

TEST(HeadlessStart, ProgramWithAWrongConnectionKeepsRunningAndConnectsOnceFixed) {
    test::PosHome home;
    QFile::rename(home.databaseFile(), home.appDir() + u"later.db"_s);
    QTemporaryDir runtime;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"COOKHUB_HOME"_s, home.appDir());
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"COOKHUB_AUTO_ANSWER"_s, u"ok"_s);
    env.insert(u"COOKHUB_SSRP_TARGET"_s, u"127.0.0.1:9"_s);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(QStringLiteral(COOKHUB_BINARY), {});
    ASSERT_TRUE(program.waitForStarted());

    QByteArray errors;
    auto waitFor = [&](const QByteArray& text, int seconds) {
        for (int i = 0; i < seconds * 10 && !errors.contains(text); ++i) {
            program.waitForReadyRead(100);
            errors += program.readAllStandardError();
        }
        return errors.contains(text);
    };
    EXPECT_TRUE(waitFor(QString(u"connection: 连接不上数据库，5 秒后重试"_s).toUtf8(), 20))
        << errors.constData();
    EXPECT_EQ(program.state(), QProcess::Running);

    QFile::rename(home.appDir() + u"later.db"_s, home.databaseFile());
    EXPECT_TRUE(waitFor(QString(u"connection: 数据库已连接"_s).toUtf8(), 20)) << errors.constData();
    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished();
    }
}

}  // namespace
