// The printer status monitor: a thread that, while its run lasts, asks every station
// printer on the network whether it answers, writes the answer into the station's row
// and into PrintList, counts the day's printed and waiting tickets into StatusText,
// and pops up a balloon note when the waiting count rises.
//
// It works on a database connection of its own, opened on its own thread, and links
// no widgets. It stops for good at the first check that finds its run over (Stop, or a
// later Start). An error ends only the pass it happened in.
#pragma once

#include "engine/service_state.h"
#include "platform/clock.h"
#include "platform/printing/net_status.h"
#include "status/balloon.h"

#include <QSqlDatabase>
#include <QThread>

namespace cookhub {

struct MonitorSettings {
    QString printMode = QStringLiteral("3");  // the worker's; passes run for "1" and "3"
    int pauseMilliseconds = 3000;             // the worker's refresh time
    printing::NetStatusLimits limits;
};

// What a printer that answers says of its paper and cover, as the window and the
// balloon show it: "开盖", "缺纸", "纸将尽" joined by "、"; empty when it can print.
QString conditionText(const printing::PaperCondition& condition);

class TPrintStateThread : public QThread {
  public:
    // `balloon` must outlive the thread.
    TPrintStateThread(ServiceState& state, Clock& clock, RunToken token, QString sourceConnection,
                      MonitorSettings settings, BalloonNotes& balloon);

    const RunToken& token() const { return token_; }

    // One status pass over the station rows on `db`; false when the run was found
    // over (then the monitor stops for good). Database errors throw.
    bool StatusPass(const QSqlDatabase& db);
    // The counts of the business day into StatusText, with the balloon when the
    // waiting count rose. Database errors throw.
    void CountPass(const QSqlDatabase& db);
    // One turn of the loop after its first wait: status pass, counts, refresh wait;
    // false when the run is over.
    bool runPass(const QSqlDatabase& db);

  protected:
    void run() override;  // Execute

  private:
    // Waits through the clock in short slices, so a finished run does not keep the
    // thread for the whole wait; false when the run ended meanwhile.
    bool waitWhileRunning(int milliseconds);

    ServiceState& state_;
    Clock& clock_;
    RunToken token_;
    QString sourceConnection_;
    MonitorSettings settings_;
    BalloonNotes& balloon_;
};

}  // namespace cookhub
