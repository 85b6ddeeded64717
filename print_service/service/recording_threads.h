// For tests: the threads a Start makes, counted instead of run; worker creation can
// be made to fail.
#pragma once

#include "service/service_threads.h"

#include <functional>
#include <stdexcept>
#include <vector>

namespace cookhub::test {

class RecordingThreads final : public ServiceThreads {
  public:
    void startWorker(const RunToken& token) override {
        ++attempts;
        if (failWorker)
            throw std::runtime_error("worker creation failed");
        workers.push_back(token);
        if (workerBeats)
            workerBeats();  // as a real worker does at once
    }
    void startMonitor(const RunToken& token) override { monitors.push_back(token); }

    bool failWorker = false;
    int attempts = 0;
    std::function<void()> workerBeats;
    std::vector<RunToken> workers;
    std::vector<RunToken> monitors;
};

}  // namespace cookhub::test
