#include "main_thread_call.h"

#include <QMetaObject>
#include <QSemaphore>
#include <QThread>

#include <memory>

namespace cookhub {

bool callOnThreadOf(QObject* context, std::function<void()> work, const std::atomic<bool>* abandon)
{
    // Once the program ends the context may be gone: do not touch it.
    if (!context || (abandon && abandon->load()))
        return false;
    if (QThread::currentThread() == context->thread()) {
        work();
        return true;
    }
    // Shared, because the call may still run after a caller that gave up has gone.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        context,
        [work = std::move(work), done] {
            work();
            done->release();
        },
        Qt::QueuedConnection);
    while (!done->tryAcquire(1, 100)) {
        if (abandon && abandon->load())
            return false;
    }
    return true;
}

}  // namespace cookhub
