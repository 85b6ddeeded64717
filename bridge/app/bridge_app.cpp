// Start-up of the bridge.
#include "app/bridge_app.h"

#include "app/dialog_download_host.h"
#include "app/main_dialog.h"
#include "commands/dispatch.h"
#include "config/bridge_config.h"
#include "download/poll_downloads.h"
#include "logs/program_log.h"
#include "platform/single_instance.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace padlink {

namespace {
// 错误的命令行参数: written at every start, whatever the command line holds.
constexpr const char* kStartEntry = "\xb4\xed\xce\xf3\xb5\xc4\xc3\xfc\xc1\xee\xd0\xd0\xb2\xce\xca\xfd";
}

int runBridge(int argc, char** argv) {
    setLogFile("debug.log");
    logEntry("warn0", "%s", kStartEntry);

    // The front end hands over its title as the whole command line.
    std::string commandLine;
    for (int a = 1; a < argc; ++a) {
        if (a > 1) {
            commandLine += ' ';
        }
        commandLine += argv[a];
    }
    if (commandLine.empty()) {
        return 0;
    }
    const auto notifyWindow = findWindow(commandLine);

    InstanceLock instance;
    if (!instance.acquire("Padlink.exe")) {
        return 0;
    }

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    app.setQuitOnLastWindowClosed(false);
    DialogDownloadHost downloadWindow;
    // The command layer's messages are OK boxes on the window, as the downloads' are.
    CommandLayer requests(orderVersion, notifyWindow, [&downloadWindow](std::string_view text) {
        downloadWindow.showMessage(Notice{std::string(text), std::string()});
    });
    PollDownloads downloads(downloadWindow, globalDownloadFlags());
    MainDialog dialog(BridgeSetup{globalLinkState(), std::filesystem::current_path(), notifyWindow,
                                  "Padlink", &requests, &downloads});
    downloadWindow.attach(dialog.downloadHost());
    if (!dialog.ended()) {
        dialog.show();
        app.exec();
    }
    if (!dialog.shutDown()) {
        // A poll thread is stuck in a notice to a front end that does not
        // return. The window is closed already; end without it, so the lock
        // goes with the process and a new bridge can start at once.
        std::fputs("padlink: a poll thread did not end after TC; ending without it\n", stderr);
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

}  // namespace padlink
