// What Start creates: the print worker and the status monitor.
//
// The service core only knows this interface, so that a test can count and fail the
// creations, and the core does not depend on the engine's threads.
#pragma once

#include "engine/service_state.h"

namespace cookhub {

class ServiceThreads {
  public:
    virtual ~ServiceThreads() = default;
    // Creates and starts the print worker for the run of `token`; throws when the
    // worker cannot be made (then no monitor is created either).
    virtual void startWorker(const RunToken& token) = 0;
    virtual void startMonitor(const RunToken& token) = 0;
};

}  // namespace cookhub
