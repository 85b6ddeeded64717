// The bridge's main dialog: tabs for the monitor, download and about pages,
// the "退出" button that hides it into the tray, the notices "TC" and "XS" the
// front end sends to the window "Padlink", the line watch, and the poll
// threads started while the download page is set up. Poll threads reach it
// only through the invoker; it must shut them down before it goes away.
#pragma once

#include "download/conversations.h"
#include "download/download_flags.h"
#include "link/link_flags.h"
#include "link/poll_thread.h"
#include "platform/window_messages.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace padlink {

class AboutPage;
class DownloadPage;
class MonitorPage;
class UiInvoker;
class LineWatch;
class BackgroundNotices;
struct StationConfig;

struct BridgeSetup {
    LinkState state;
    // The current directory; the TXT folder is looked for in it.
    std::filesystem::path workFolder;
    std::optional<WindowHandle> notifyWindow;
    std::string ownTitle = "Padlink";
    RequestHandler* requests = nullptr;
    DownloadHandler* downloads = nullptr;
    // Written by the download page at "下载"; the downloads must read the same.
    ManualChoice choice = globalManualChoice();
    // DSR of the line the line watch looks at; nothing when the query fails.
    std::function<std::optional<bool>()> lineQuery{};  // empty: the port opened last
    // Tests: see SerialPort::setAfterPurge; given to every station's port.
    SerialPort::AfterPurge afterPurge{};
};

class MainDialog : public QDialog {
public:
    explicit MainDialog(BridgeSetup setup, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Stops the poll threads and the notice listener and releases the
    // window. Idempotent. False when a poll thread had not ended within the
    // bound (it is stuck in a notice to a front end that does not return):
    // it is left behind, and the process must end without waiting for it.
    bool shutDown();
    bool ended() const { return ended_; }

    // On the user-interface thread.
    void handleNotice(const WindowMessage& message);
    // On the listener's thread: "TC" stops the poll threads at once, then the
    // window handles the notice; the sender waits for that at most a
    // moment, so nothing the window waits for can hold a notice back.
    void receiveNotice(const WindowMessage& message);
    void hideToTray();
    // The line watch's tick, also for tests.
    void watchLine();

    // The window side of the download conversations; calls from poll threads
    // wait until the user-interface thread has handled them.
    DownloadHost& downloadHost();

    MonitorPage* monitorPage() const { return monitor_; }
    DownloadPage* downloadPage() const { return download_; }
    QTabWidget* tabs() const { return tabs_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    int stationCount() const { return stationCount_; }

    void done(int result) override;

private:
    class WindowHost;

    void setUpStations();
    void choosePort(int index);

    BridgeSetup setup_;
    UiInvoker* invoker_;
    std::unique_ptr<WindowHost> host_;
    std::unique_ptr<WindowServer> server_;
    std::unique_ptr<LineWatch> lineWatch_;
    std::unique_ptr<BackgroundNotices> notices_;
    std::unique_ptr<PollServices> services_;
    struct Running;
    std::shared_ptr<Running> running_;
    std::vector<std::thread> threads_;
    std::vector<std::pair<std::string, std::vector<std::string>>> stationHandhelds_;
    QTabWidget* tabs_ = nullptr;
    MonitorPage* monitor_ = nullptr;
    DownloadPage* download_ = nullptr;
    AboutPage* about_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* lineTimer_ = nullptr;
    int selectedStation_ = 0;
    int stationCount_ = 0;
    bool ended_ = false;
    bool shutDown_ = false;
    bool allEnded_ = true;
};

}  // namespace padlink
