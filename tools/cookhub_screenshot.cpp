// Draws every window of Cookhub as it looks after start-up on a home (COOKHUB_HOME)
// into a folder, one PNG per window, without a display:
//   QT_QPA_PLATFORM=offscreen COOKHUB_HOME=demo-home build/bin/cookhub-screenshot DIR
// That is main.png, parameters.png (the run parameter window), history.png and
// preview.png (the print history and a reprint's preview), connection.png (the
// connection dialog, whose server list is filled only from COOKHUB_SSRP_TARGET: this
// tool never lists servers by broadcast), formats.png (the format settings on the first
// format folder) and designer.png (the designer on that folder's order ticket). The
// printer panel shows one real pass of the status monitor over the home's stations, so
// printers that answer and printers that do not look as they would. The waits of
// connecting and starting are skipped; everything else is the program's.

#include "history/tfpreview.h"
#include "history/tfquery.h"
#include "platform/app_paths.h"
#include "platform/database.h"
#include "settings/designer_window.h"
#include "settings/param_set.h"
#include "settings/report_set_window.h"
#include "settings/set_con.h"
#include "shell/tfmain.h"
#include "service/utility.h"
#include "status/print_state_thread.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>

#include <algorithm>
#include <cstdio>

namespace {

// No threads run for the pictures; the worker that stands in beats once at its start,
// as a real one does, so the watchdog sees a running service and leaves the panel alone.
class NoThreads final : public cookhub::ServiceThreads {
  public:
    NoThreads(cookhub::ServiceState& state, cookhub::Clock& clock) : state_(state), clock_(clock) {}
    void startWorker(const cookhub::RunToken&) override { state_.beat(clock_.now()); }
    void startMonitor(const cookhub::RunToken&) override {}

  private:
    cookhub::ServiceState& state_;
    cookhub::Clock& clock_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cookhub-screenshot DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    cookhub::ServiceState state;
    state.appDir = cookhub::applicationFolder();
    state.connectionIni = cookhub::chooseConnectionIni(state.appDir);
    cookhub::ManualClock clock;
    NoThreads threads(state, clock);
    cookhub::TFMain window(state, clock, threads);
    window.btnBeginClick();
    try {
        cookhub::StandardErrorBalloon balloon;
        cookhub::TPrintStateThread monitor(state, clock, state.currentToken(),
                                           cookhub::kMonitorConnection, {}, balloon);
        monitor.StatusPass(QSqlDatabase::database(cookhub::kMonitorConnection, false));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "printer status: %s\n", error.what());
    }
    window.tmr1Timer();
    // Shows a window, lets it lay itself out and writes its picture into DIR.
    const auto draw = [&dir](QWidget& picture, const char* name) {
        picture.show();
        QApplication::processEvents();
        const QString path = QDir(dir).filePath(QLatin1String(name));
        if (!picture.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    };
    // Showing the main window runs its show handling: queue schema and the day's counts.
    if (!draw(window, "main.png"))
        return 1;

    cookhub::TFParamSet parameters(state.appDir);
    const cookhub::DatabaseLink link{
        [&](const QString& text) { return cookhub::ConnectDatabase(clock, text, state.appDir); },
        [] { return cookhub::isConnectionOpen(cookhub::kMainConnection); }};
    const cookhub::TFSetCon::ServerLister lister =
        qEnvironmentVariableIsSet("COOKHUB_SSRP_TARGET")
            ? cookhub::TFSetCon::serverListerFromEnvironment()
            : [] { return cookhub::ServerListing{}; };
    cookhub::TFSetCon connection(state.appDir + state.connectionIni, link, nullptr, lister);
    cookhub::TFReportSet formats(state.appDir, state.connectionIni);
    formats.appendTemplateNames(state.reportsDir);
    const QStringList folders = cookhub::formatFolderNames(state.appDir);
    formats.setFormatFolders(folders);
    if (!folders.isEmpty())
        formats.chooser()->setCurrentIndex(0);
    cookhub::TFDesigner designer(formats.model().designerFile(0),
                                 cookhub::templateKinds()[0].label);
    if (!draw(parameters, "parameters.png") || !draw(connection, "connection.png") ||
        !draw(formats, "formats.png") || !draw(designer, "designer.png"))
        return 1;

    // The print history as it opens, and the preview of its first printable ticket (a
    // sample order ticket when the queue holds none).
    cookhub::TFQuery history(QSqlDatabase::database(cookhub::kWindowConnection, false),
                             state.appDir);
    cookhub::report::Report report;
    cookhub::QueueTicket ticket;
    bool ready = false;
    for (int row = 0; row < std::min(history.history().tickets().rowCount(), 50) && !ready; ++row) {
        ready = history.history().prepare(history.history().tickets().printId(row), report, {},
                                          &ticket) == cookhub::HistoryQuery::Prepared::Ready;
    }
    if (!ready &&
        cookhub::LoadTemplate(state.appDir, QStringLiteral("点菜单"),
                              state.appDir + QStringLiteral("Reports/80格式"), report, {})) {
        ticket = {};
        ticket.printName = QStringLiteral("hot-kitchen");
        ticket.tableNo = QStringLiteral("A01|大厅1号");
        ticket.title = QStringLiteral("点菜单");
        ticket.billNo = QStringLiteral("B0001");
        ticket.stationName = QStringLiteral("热菜");
        ticket.operatorName = QStringLiteral("小王");
        ticket.dTime = QDateTime::currentDateTime();
        ticket.allMoney = 68;
        ticket.inMoney = 68;
        cookhub::bindTicket(report, ticket,
                            {{{QStringLiteral("DishName"), QStringLiteral("宫保鸡丁")},
                              {QStringLiteral("DishUnit"), QStringLiteral("份")},
                              {QStringLiteral("Nums"), 1},
                              {QStringLiteral("num_price"), 68}}},
                            QString());
    }
    cookhub::PrinterOutput output;
    cookhub::TFPreView preview(report.prepare(), ticket.title, ticket.printName, output, {});
    history.resize(1010, 674);
    return draw(history, "history.png") && draw(preview, "preview.png") ? 0 : 1;
}
