// Synchronous hand-over to the user-interface thread.
#include "app/ui_invoker.h"

#include <QThread>

#include <memory>

namespace padlink {

bool UiInvoker::invoke(const std::function<void()>& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return true;
    }
    auto pending = std::make_shared<Call>();
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
    }
    // The call refers to the waiting thread's data; it runs only while that
    // thread still waits, which the closed check on this thread guarantees.
    QMetaObject::invokeMethod(
        this,
        [this, pending, &call] {
            {
                const std::lock_guard lock(mutex_);
                if (closed_) {
                    return;
                }
            }
            call();
            {
                const std::lock_guard lock(mutex_);
                pending->finished = true;
            }
            changed_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->finished || closed_; });
    return pending->finished;
}

bool UiInvoker::invokeWithin(std::function<void()> call, std::chrono::milliseconds limit) {
    if (QThread::currentThread() == thread()) {
        call();
        return true;
    }
    // The call lives in the shared record, not in Qt's queued functor: Qt may
    // drop its functor on either thread, and the last owner of the record
    // is then the waiter, after it has taken the lock (or the window's thread).
    auto pending = std::make_shared<Call>();
    pending->call = std::move(call);
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, pending] {
            {
                const std::lock_guard lock(mutex_);
                if (closed_) {
                    return;
                }
            }
            pending->call();
            {
                const std::lock_guard lock(mutex_);
                pending->finished = true;
            }
            changed_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return pending->finished || closed_; });
    return pending->finished;
}

void UiInvoker::shutDown() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace padlink
