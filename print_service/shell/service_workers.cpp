#include "service_workers.h"

#include "platform/main_thread_call.h"
#include "utility.h"

namespace cookhub {

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
    worker->stopService = [this] {
        if (stopAction_)
            callOnThreadOf(mainContext_, stopAction_, &abandon_);
    };
    worker->start();
    workers_.push_back(std::move(worker));
}

void ServiceWorkers::startMonitor(const RunToken&)
{
    // The printer status monitor arrives with its own work.
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
}

size_t ServiceWorkers::liveWorkers() const
{
    size_t count = 0;
    for (const auto& worker : workers_)
        count += worker->isRunning() ? 1 : 0;
    return count;
}

}  // namespace cookhub
