// Threads in tests that end however the test ends: a failed ASSERT returns from the
// test at once, and a thread still running then would hang the binary (a waiting
// worker) or abort it (a joinable std::thread, a running QThread destroyed).
#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace cookhub::test {

// Runs `end` when the scope is left, whichever way.
class ScopeExit {
  public:
    explicit ScopeExit(std::function<void()> end) : end_(std::move(end)) {}
    ~ScopeExit() {
        if (end_)
            end_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    std::function<void()> end_;
};

// A std::thread that is told to stop (`stop`) and joined when the guard goes.
class JoinGuard {
  public:
    JoinGuard(std::thread& thread, std::function<void()> stop)
        : thread_(thread), stop_(std::move(stop)) {}
    ~JoinGuard() {
        if (stop_)
            stop_();
        if (thread_.joinable())
            thread_.join();
    }
    JoinGuard(const JoinGuard&) = delete;
    JoinGuard& operator=(const JoinGuard&) = delete;

  private:
    std::thread& thread_;
    std::function<void()> stop_;
};

// Waits for a QThread that was told to stop; one that does not end in time is let go
// (reported as a leak at exit) instead of aborting the binary in its destructor.
template <class Thread>
void endThread(std::unique_ptr<Thread>& thread, int milliseconds = 30000) {
    if (thread && thread->isRunning() && !thread->wait(milliseconds))
        (void)thread.release();
    thread.reset();
}

// Polls `done` every 20 ms for at most `milliseconds`; true once it holds.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 30000) {
    for (int waited = 0;; waited += 20) {
        if (done())
            return true;
        if (waited >= milliseconds)
            return false;
        QThread::msleep(20);
    }
}

// A place where one thread stops until the test opens it; every wait has a limit,
// so a test that never opens it fails instead of hanging.
class Gate {
  public:
    // Called by the held thread: records the arrival and waits until open.
    void arriveAndWait(int milliseconds = 30000) {
        QMutexLocker lock(&mutex_);
        arrived_ = true;
        changed_.wakeAll();
        while (!open_) {
            if (!changed_.wait(&mutex_, milliseconds))
                return;
        }
    }
    // Called by the test: true once a thread has arrived.
    bool waitArrived(int milliseconds = 30000) {
        QMutexLocker lock(&mutex_);
        while (!arrived_) {
            if (!changed_.wait(&mutex_, milliseconds))
                return false;
        }
        return true;
    }
    void open() {
        QMutexLocker lock(&mutex_);
        open_ = true;
        changed_.wakeAll();
    }

  private:
    QMutex mutex_;
    QWaitCondition changed_;
    bool arrived_ = false;
    bool open_ = false;
};

}  // namespace cookhub::test
