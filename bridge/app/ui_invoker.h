// The SendMessage of the poll threads and of the notice listener: a call run
// on the user-interface thread while the calling thread waits for it. Once
// the window shuts down every waiter is released and later calls return at
// once, so no thread can hang on a window that is gone.
#pragma once

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace padlink {

class UiInvoker : public QObject {
public:
    explicit UiInvoker(QObject* parent = nullptr) : QObject(parent) {}

    // Runs the call on this object's thread and waits until it has returned.
    // False when it did not run because the window had shut down.
    bool invoke(const std::function<void()>& call);

    // As invoke, but waits no longer than the limit: the call owns what it
    // needs and may still run after the caller has stopped waiting. False
    // when it had not run by then (or will not run at all).
    bool invokeWithin(std::function<void()> call, std::chrono::milliseconds limit);

    // On the user-interface thread. Idempotent.
    void shutDown();

private:
    struct Call {
        bool finished = false;
        std::function<void()> call;  // invokeWithin's own copy
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
};

}  // namespace padlink
