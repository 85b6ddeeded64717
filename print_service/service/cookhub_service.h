// The print service without its windows: the connection settings and the three
// connections, Start and Stop with their waits, the watchdog with the back-off of
// failed starts, and the day's counts. The main window, the tray and the settings
// and history windows are views on it: they call it and follow changed().
#pragma once

#include "engine/service_state.h"
#include "platform/clock.h"
#include "service_threads.h"
#include "utility.h"

#include <QDateTime>
#include <QObject>
#include <QString>

namespace cookhub {

class CookhubService : public QObject {
    Q_OBJECT

  public:
    // What a view shows of the service.
    struct Snapshot {
        bool running = false;
        QString statusText;  // the monitor's text
        int printed = 0;
        int unprinted = 0;  // waiting tickets and dishes
        int failedStarts = 0;
    };

    enum class StartOutcome {
        NoConnection,  // MainConnection is closed: nothing changed
        Started,
        WorkerFailed,  // shown running; the watchdog tries again after the back-off
    };

    // Opens a run as the service does when it is made: it counts as running until a
    // Stop, and its first watchdog tick starts the worker.
    CookhubService(ServiceState& state, Clock& clock, ServiceThreads& threads,
                   QObject* parent = nullptr);
    ~CookhubService() override;  // closes the three connections

    BranchDbSettings connectionSettings() const;
    // ConnectDatabase with the stored settings, or with `connectionString`.
    bool connect();
    bool connect(const QString& connectionString);
    static bool isConnected();

    StartOutcome start();
    void stop();
    // The service side of Exit: a running service stops first.
    void exit();
    // The watchdog: a running service whose worker has not beaten for two minutes is
    // due to start again, after a failed start only once its back-off has passed.
    bool watchdogDue() const;
    // Starts when due; true when it did.
    bool watchdogTick();

    // UpdateSql: the queue schema at this program's version (`force` runs every step).
    void updateSchema(bool force);
    // The business day's start from the last day close, then the counts to now.
    // Database errors throw SqlFailure.
    void countDay();
    void setStatusText(const QString& text);

    bool isRunning() const { return running_; }
    Snapshot snapshot() const;
    ServiceState& state() { return state_; }
    Clock& clock() { return clock_; }

  Q_SIGNALS:
    void changed();

  private:
    void setRunning(bool running);

    ServiceState& state_;
    Clock& clock_;
    ServiceThreads& threads_;
    bool running_ = true;
    int printed_ = 0;
    int unprinted_ = 0;
    // Starts whose worker could not be made, one after another, and when the
    // watchdog may try again.
    int failedStarts_ = 0;
    QDateTime nextRetry_;
};

// The status bar's text for the day's counts.
QString countsText(int printed, int unprinted);

}  // namespace cookhub
