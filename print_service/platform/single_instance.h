// One running copy per machine user, as the named mutexes of Windows gave it.
//
// The lock is an flock on a file named after the mutex in $XDG_RUNTIME_DIR (or /tmp).
// The kernel drops it when the process ends, so a crashed first copy never blocks the
// next start.
#pragma once

#include <QString>

namespace cookhub {

class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const QString& mutexName);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock.
    bool acquire();
    QString lockFilePath() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};

}  // namespace cookhub
