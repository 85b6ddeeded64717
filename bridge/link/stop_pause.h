// The pauses of the poll cycle and the downloads: a sleep on the monotonic
// clock that wakes early once the stop flag is set, so "TC" ends a thread
// within a slice whatever pause it is in. A slice costs one wake-up; nothing
// here spins.
#pragma once

#include <atomic>
#include <cerrno>
#include <ctime>

namespace padlink {

inline constexpr int kStopSliceMs = 50;

// False when the pause ended early because the flag was set.
inline bool pauseUnlessStopped(int ms, const std::atomic<int>& stop) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    for (;;) {
        if (stop.load() != 0) {
            return false;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long left =
            (deadline.tv_sec - now.tv_sec) * 1'000'000'000LL + (deadline.tv_nsec - now.tv_nsec);
        if (left <= 0) {
            return true;
        }
        const long long slice =
            left < kStopSliceMs * 1'000'000LL ? left : kStopSliceMs * 1'000'000LL;
        timespec wait{static_cast<time_t>(slice / 1'000'000'000LL),
                      static_cast<long>(slice % 1'000'000'000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
        }
    }
}

}  // namespace padlink
