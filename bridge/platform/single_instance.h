// The named mutex that keeps one bridge per user: an exclusive flock on a
// file named after the mutex in $XDG_RUNTIME_DIR (or /tmp). The kernel drops
// the lock with its holder, so a crashed bridge never blocks the next start.
#pragma once

#include <filesystem>
#include <string_view>

namespace padlink {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another process holds it (or the file cannot be made).
    bool acquire(std::string_view name);
    bool held() const { return fd_ >= 0; }

    static std::filesystem::path lockFolder();

private:
    int fd_ = -1;
};

}  // namespace padlink
