// Draws Cookhub's main window as it looks after start-up on a home (COOKHUB_HOME) and
// saves it as a PNG, without a display:
//   QT_QPA_PLATFORM=offscreen COOKHUB_HOME=demo-home build/bin/cookhub-screenshot out.png
// The waits of connecting and starting are skipped; everything else is the program's.

#include "platform/app_paths.h"
#include "shell/tfmain.h"
#include "shell/utility.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

namespace {

class NoThreads final : public cookhub::ServiceThreads {
public:
    void startWorker(const cookhub::RunToken&) override {}
    void startMonitor(const cookhub::RunToken&) override {}
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cookhub-screenshot OUTPUT.png\n");
        return 2;
    }
    cookhub::ServiceState state;
    state.appDir = cookhub::applicationFolder();
    state.connectionIni = cookhub::chooseConnectionIni(state.appDir);
    cookhub::ManualClock clock;
    NoThreads threads;
    cookhub::TFMain window(state, clock, threads);
    window.btnBeginClick();
    window.tmr1Timer();
    window.show();  // runs the show handling: queue schema and the day's counts
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
