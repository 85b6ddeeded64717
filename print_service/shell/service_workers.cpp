#include "service_workers.h"

#include "platform/main_thread_call.h"
#include "platform/message_box.h"
#include "utility.h"

namespace cookhub {

PrintOutcome MainThreadOutput::printCopies(const PrintRequest& request)
{
    // Shared, because a hand-over given up at shutdown may still hold them.
    auto outcome = std::make_shared<PrintOutcome>();
    auto shared = std::make_shared<PrintRequest>(request);
    PrinterOutput* printers = &printers_;
    if (!callOnThreadOf(mainContext_, [outcome, shared, printers] { *outcome = printers->printCopies(*shared); },
                        abandon_))
        return {};  // not printed: the ticket waits
    return *outcome;
}

void MainThreadOutput::showMessage(const QString& text)
{
    callOnThreadOf(
        mainContext_, [text] { MessageBox::information(nullptr, QStringLiteral("提示"), text); },
        abandon_);
}

ServiceWorkers::ServiceWorkers(ServiceState& state, Clock& clock, QObject* mainContext)
    : state_(state), clock_(clock), mainContext_(mainContext)
{
}

ServiceWorkers::~ServiceWorkers()
{
    shutdown();
}

void ServiceWorkers::startWorker(const RunToken& token)
{
    std::erase_if(workers_, [](const auto& worker) { return worker->isFinished(); });
    auto worker = std::make_unique<TPrintThread>(
        state_, clock_, token, QSqlDatabase::database(kMainConnection, false), kMainConnection);
    worker->setOutput(&output_);
    worker->stopService = [this] {
        if (stopAction_)
            callOnThreadOf(mainContext_, stopAction_, &abandon_);
    };
    worker->start();
    workers_.push_back(std::move(worker));
}

void ServiceWorkers::startMonitor(const RunToken& token)
{
    std::erase_if(monitors_, [](const auto& monitor) { return monitor->isFinished(); });
    // The print mode and the refresh time are the ones the run's worker loaded.
    MonitorSettings settings;
    if (!workers_.empty()) {
        settings.printMode = workers_.back()->params().printMode;
        settings.pauseMilliseconds = workers_.back()->params().pauseMilliseconds;
    }
    auto monitor = std::make_unique<TPrintStateThread>(state_, clock_, token, kMonitorConnection,
                                                       settings, *balloon_);
    monitor->start();
    monitors_.push_back(std::move(monitor));
}

void ServiceWorkers::shutdown()
{
    state_.stop();
    abandon_ = true;
    for (auto& worker : workers_) {
        if (!worker->wait(15000))
            (void)worker.release();  // stuck in the database: the process end takes it
    }
    workers_.clear();
    for (auto& monitor : monitors_) {
        if (!monitor->wait(15000))
            (void)monitor.release();
    }
    monitors_.clear();
}

}  // namespace cookhub
