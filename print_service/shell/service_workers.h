// The threads Start creates: the print worker and the status monitor. Owns every
// thread it made; a thread ends once its run is over, and the finished ones are let go
// at the next Start.
#pragma once

#include "service_threads.h"
#include "engine/print_worker.h"
#include "status/print_state_thread.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace cookhub {

// The printing pass's output with the printing and the message boxes handed to the
// main thread, as the worker waits for them.
class MainThreadOutput final : public TicketOutput {
public:
    MainThreadOutput(QObject* mainContext, const std::atomic<bool>* abandon)
        : mainContext_(mainContext), abandon_(abandon)
    {
    }
    int jobCount(const QString& printer) override { return printers_.jobCount(printer); }
    PrintOutcome printCopies(const PrintRequest& request) override;
    void showMessage(const QString& text) override;

private:
    PrinterOutput printers_;
    QObject* mainContext_;
    const std::atomic<bool>* abandon_;
};

class ServiceWorkers final : public ServiceThreads {
public:
    // `mainContext` lives on the main thread; `stopAction` is the Stop command the
    // worker asks for when a cycle fails.
    ServiceWorkers(ServiceState& state, Clock& clock, QObject* mainContext);
    ~ServiceWorkers() override;

    void setStopAction(std::function<void()> stopAction) { stopAction_ = std::move(stopAction); }
    // Where the monitor's balloon notes go (standard error until set); must outlive
    // the monitors.
    void setBalloon(BalloonNotes* balloon) { balloon_ = balloon ? balloon : &standardError_; }

    void startWorker(const RunToken& token) override;
    void startMonitor(const RunToken& token) override;

    // Ends the run and waits for the workers; a worker stuck in a database call is
    // left to the end of the process.
    void shutdown();

private:
    ServiceState& state_;
    Clock& clock_;
    QObject* mainContext_;
    std::function<void()> stopAction_;
    std::atomic<bool> abandon_{false};
    MainThreadOutput output_{mainContext_, &abandon_};
    std::vector<std::unique_ptr<TPrintThread>> workers_;
    StandardErrorBalloon standardError_;
    BalloonNotes* balloon_ = &standardError_;
    std::vector<std::unique_ptr<TPrintStateThread>> monitors_;
};

}  // namespace cookhub
