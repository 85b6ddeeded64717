// The process-wide state of the print service: run flag, heartbeat, the business day,
// the status text, the station printers.
//
// The main thread writes the run flag; the worker and the monitor read it at their
// check points. Each Start opens a new run: a worker holds the RunToken of the run it
// was made for and stops at its next check once a later Start has superseded it, so a
// stalled worker that wakes up never works beside its replacement.
#pragma once

#include "print_list.h"

#include <QDateTime>
#include <QMutex>
#include <QString>

#include <atomic>
#include <cstdint>

namespace cookhub {

class ServiceState;

class RunToken {
public:
    RunToken() = default;
    // True while the service runs and no later Start has begun another run.
    bool running() const;
    std::uint64_t run() const { return run_; }

private:
    friend class ServiceState;
    RunToken(const ServiceState* state, std::uint64_t run) : state_(state), run_(run) {}
    const ServiceState* state_ = nullptr;
    std::uint64_t run_ = 0;
};

class ServiceState {
public:
    QString appDir;         // with a trailing '/'
    QString connectionIni;  // "tessik9.ini" or "rolmav3.ini"

    // RunFlag: "Y" while the service runs.
    bool isRunning() const { return running_.load(); }
    QString runFlag() const { return isRunning() ? QStringLiteral("Y") : QStringLiteral("N"); }
    // Start: RunFlag "Y" and a new run whose token supersedes every earlier one.
    RunToken beginRun();
    // Stop: RunFlag "N".
    void stop() { running_.store(false); }
    RunToken currentToken() const;

    // Heartbeat: stamped by the worker at the start of every cycle; null until then.
    void beat(const QDateTime& now);
    QDateTime heartbeat() const;

    QString businessDayStart() const;
    void setBusinessDayStart(const QString& text);

    QString statusText() const;
    void setStatusText(const QString& text);

    int lastUnprintedCount = 0;  // the monitor's previous count; its own thread only
    QString reportsDir;          // main thread only

    PrintListStore printList;

private:
    friend class RunToken;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> run_{0};
    std::atomic<qint64> heartbeatMs_{0};
    std::atomic<bool> hasHeartbeat_{false};
    mutable QMutex textMutex_;
    QString businessDayStart_;
    QString statusText_;
};

}  // namespace cookhub
