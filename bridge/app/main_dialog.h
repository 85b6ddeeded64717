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
};

class MainDialog : public QDialog {
public:
    explicit MainDialog(BridgeSetup setup, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Stops the poll threads and the notice listener. Idempotent.
    void shutDown();
    bool ended() const { return ended_; }

    void handleNotice(const WindowMessage& message);
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
    std::unique_ptr<PollServices> services_;
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
};

}  // namespace padlink
