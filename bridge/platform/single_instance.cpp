// Single-instance lock on flock.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace padlink {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::filesystem::path InstanceLock::lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (runtime != nullptr && *runtime != '\0') ? std::filesystem::path(runtime)
                                                    : std::filesystem::path("/tmp");
}

bool InstanceLock::acquire(std::string_view name) {
    if (fd_ >= 0) {
        return true;
    }
    const std::filesystem::path file = lockFolder() / std::string(name);
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace padlink
