// Cookhub, the kitchen print service: one copy per user, started on the connection
// settings beside the executable, running from the tray with its window hidden.

#include "platform/app_paths.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "service_workers.h"
#include "tfmain.h"
#include "service/utility.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Cookhub"_s);
    QApplication::setQuitOnLastWindowClosed(false);

    cookhub::SingleInstanceLock instance(u"Cookhub.exe"_s);
    if (!instance.acquire()) {
        cookhub::MessageBox::information(nullptr, u"提示"_s, u"打印服务已经开始！"_s);
        return 0;
    }

    // Shared with the workers: one stuck in the database at exit still finds them.
    auto state = std::make_shared<cookhub::ServiceState>();
    state->appDir = cookhub::applicationFolder();
    state->connectionIni = cookhub::chooseConnectionIni(state->appDir);

    auto clock = std::make_shared<cookhub::SystemClock>();
    cookhub::ServiceWorkers threads(state, clock, &app);
    cookhub::TFMain window(*state, *clock, threads);
    threads.setStopAction([&window] { window.btnEndClick(); });
    threads.setBalloon(&window.balloon());
    QObject::connect(&window, &cookhub::TFMain::exitRequested, &app, &QApplication::quit);

    // The window stays hidden, but its show handling runs once: before the first
    // Start, so the queue schema is complete before any worker reads the station
    // table (an upgrade that adds a column under a running "select *" crashes the
    // SQLite driver).
    window.FormShow();
    window.btnBeginClick();
    // For the kill test: Start pressed again and again while the service runs, as the
    // tray menu's "启动" or the watchdog would.
    if (const int every = qEnvironmentVariableIntValue("COOKHUB_START_EVERY_MS"); every > 0) {
        auto* again = new QTimer(&app);
        QObject::connect(again, &QTimer::timeout, &window, [&window] {
            if (window.isServiceRunning())
                window.btnBeginClick();
        });
        again->start(every);
    }
    const int result = app.exec();
    if (!threads.shutdown()) {
        // A worker still stuck in the database keeps what it shares; the libraries'
        // own state (the database drivers, the connection list) must not be torn down
        // under it either: end without running the destructors.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
