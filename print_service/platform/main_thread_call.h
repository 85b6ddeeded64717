// A synchronous hand-over to another thread's event loop, as the worker asks the main
// thread to stop the service (and later to print) and waits for it.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

namespace cookhub {

// Runs `work` on the thread of `context` and returns once it has run. Returns false
// without waiting further when `abandon` becomes true first (the program is ending
// and the loop will not run it any more).
bool callOnThreadOf(QObject* context, std::function<void()> work,
                    const std::atomic<bool>* abandon = nullptr);

}  // namespace cookhub
