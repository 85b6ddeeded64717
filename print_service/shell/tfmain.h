// The main window of the print service, its tray icon and the service states.
//
// Start, Stop and Exit move the service between Running and Stopped; the 3000 ms timer
// repaints the printer panel and runs the watchdog. The window is a view: the running
// state, the connections, Start, Stop, the watchdog and the counts live in
// CookhubService, which it makes and follows.
#pragma once

#include "engine/service_state.h"
#include "platform/clock.h"
#include "service/cookhub_service.h"
#include "service/service_threads.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QTimer;
class QToolButton;

namespace cookhub {

class BalloonNotes;
class TrayBalloon;

class TFMain : public QWidget {
    Q_OBJECT

  public:
    // Runs FormCreate: tray icon, connection settings, the three connections.
    TFMain(ServiceState& state, Clock& clock, ServiceThreads& threads, QWidget* parent = nullptr);
    ~TFMain() override;  // FormDestroy

    void btnBeginClick();  // Start
    void btnEndClick();    // Stop
    void btn_ExitClick();  // Exit, with its question
    void btn6Click();      // hide

    // Before a settings window opens: "格式设置" and "参数设置" ask to stop a running
    // service (`ask`), "连接设置" stops it without asking. False when the operator keeps
    // the service running, and then nothing opens.
    bool stopForSettings(bool ask);
    void btn_TestClick();  // run parameters
    void btn7Click();      // connection dialog
    // "格式设置": the format settings window, with the service stopped.
    void btn2Click();
    void btn4Click();  // the print history, while the service goes on

    // Runs once at start-up although the window stays hidden, and whenever it is shown.
    void FormShow();
    void UpdateSql(bool force);
    void GetPrintInfo();

    // The 3000 ms tick: panel refresh, then the watchdog.
    void tmr1Timer();

    // The backup switch of panel button `index`: the question, the printer choice,
    // the choice into PrintList and the caption.
    void btn36Click(int index);
    // Test seam: picks a printer from the list (index, or -1 for none).
    using PrinterChooser = std::function<int(QWidget* parent, const QStringList& printers)>;
    void setPrinterChooser(PrinterChooser chooser) { choosePrinter_ = std::move(chooser); }

    // The status monitor's balloon notes: the tray's, or standard error without one.
    BalloonNotes& balloon();

    // Tray icon mouse notices.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    void showFromTray();

    bool isServiceRunning() const { return service_->isRunning(); }
    CookhubService& service() { return *service_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QString statusPanelText() const;

  Q_SIGNALS:
    void exitRequested();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate(ServiceThreads& threads);
    void buildWindow();
    void emptyPanel();
    void showService();  // buttons and tray icon after the service's state
    void openConnectionAfterFailure();

    ServiceState& state_;
    Clock& clock_;
    std::unique_ptr<CookhubService> service_;

    QToolButton* btnEnd = nullptr;
    QToolButton* btnBegin = nullptr;
    QToolButton* btn2 = nullptr;
    QToolButton* btn_Test = nullptr;
    QToolButton* btn4 = nullptr;
    QToolButton* btn6 = nullptr;
    QToolButton* btn7 = nullptr;
    QToolButton* btn_Exit = nullptr;

    QWidget* panelBar_ = nullptr;
    std::array<QToolButton*, 10> panelButtons_{};
    QLabel* statusPanel_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QTimer* tmr1 = nullptr;
    std::unique_ptr<TrayBalloon> balloon_;
    PrinterChooser choosePrinter_;
    QPointer<QWidget> history_;  // the history window while it is open
};

}  // namespace cookhub
