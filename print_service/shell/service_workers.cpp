#include "service_workers.h"

#include "platform/main_thread_call.h"
#include "platform/message_box.h"
#include "service/utility.h"

#include <tuple>

namespace cookhub {

PrintOutcome MainThreadOutput::printCopies(const PrintRequest& request)
{
    // Shared, because a hand-over given up at shutdown may still hold them.
    auto outcome = std::make_shared<PrintOutcome>();
    auto shared = std::make_shared<PrintRequest>(request);
    PrinterOutput* printers = &printers_;
    if (!callOnThreadOf(
            mainContext_,
            [outcome, shared, printers] { *outcome = printers->printCopies(*shared); },
            abandon_.get()))
        return {};  // not printed: the ticket waits
    return *outcome;
}

void MainThreadOutput::showMessage(const QString& text)
{
    callOnThreadOf(
        mainContext_, [text] { MessageBox::information(nullptr, QStringLiteral("提示"), text); },
        abandon_.get());
}

ServiceWorkers::ServiceWorkers(std::shared_ptr<ServiceState> state, std::shared_ptr<Clock> clock,
                               QObject* mainContext)
    : stateOwner_(std::move(state)),
      clockOwner_(std::move(clock)),
      state_(*stateOwner_),
      clock_(*clockOwner_),
      mainContext_(mainContext) {}

ServiceWorkers::~ServiceWorkers()
{
    shutdown();
}

void ServiceWorkers::startWorker(const RunToken& token)
{
    std::erase_if(workers_, [](const auto& worker) { return worker->isFinished(); });
    auto worker = std::make_unique<TPrintThread>(
        state_, clock_, token, QSqlDatabase::database(kMainConnection, false), kMainConnection);
    worker->setOutput(output_.get());
    worker->keepAlive =
        std::make_shared<std::tuple<std::shared_ptr<ServiceState>, std::shared_ptr<Clock>,
                                    std::shared_ptr<MainThreadOutput>>>(stateOwner_, clockOwner_,
                                                                        output_);
    // Shares what it calls rather than this object, which exit may have destroyed.
    worker->stopService = [stop = stopAction_, abandon = abandon_, context = mainContext_] {
        if (*stop && !abandon->load())
            callOnThreadOf(context, *stop, abandon.get());
    };
    if (workerMade)
        workerMade(*worker);
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

bool ServiceWorkers::shutdown(int milliseconds) {
    state_.stop();
    abandon_->store(true);
    bool allEnded = true;
    for (auto& worker : workers_) {
        if (!worker->wait(milliseconds)) {
            // Stuck in the database: the process end takes it; what it uses stays alive
            // through its own shares. Kept reachable, as it is kept on purpose.
            static auto* abandoned = new std::vector<TPrintThread*>;
            abandoned->push_back(worker.release());
            allEnded = false;
        }
    }
    workers_.clear();
    for (auto& monitor : monitors_) {
        if (!monitor->wait(milliseconds)) {
            // Stuck in the database like a worker: kept, with shares of what it uses.
            static auto* abandoned =
                new std::vector<std::pair<TPrintStateThread*, std::shared_ptr<void>>>;
            abandoned->emplace_back(
                monitor.release(),
                std::make_shared<std::pair<std::shared_ptr<ServiceState>, std::shared_ptr<Clock>>>(
                    stateOwner_, clockOwner_));
            allEnded = false;
        }
    }
    monitors_.clear();
    return allEnded;
}

}  // namespace cookhub
