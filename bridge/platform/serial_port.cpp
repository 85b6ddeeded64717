// Serial port over termios, poll() and ioctl.
#include "platform/serial_port.h"

#include "link/result_codes.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace padlink {

std::atomic<int> lastOpenedPort{-1};

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
using std::chrono::milliseconds;

constexpr milliseconds kReadIntervalTimeout{50};
constexpr milliseconds kReadTotalConstant{5};
constexpr milliseconds kWriteTotalMultiplier{10};
constexpr milliseconds kWriteTotalConstant{180};

void sleepMilliseconds(int ms) {
    if (ms <= 0) {
        return;
    }
    timespec remaining{ms / 1000, (ms % 1000) * 1'000'000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining) == EINTR) {
    }
}

// Errors that say the device is gone or has hung up (a pulled USB adapter,
// a pseudo-terminal whose other side closed), not that it is merely quiet.
bool isLineGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

// Waits for `events` until the deadline; false on time-out or error. A
// hang-up or error condition of the device sets `gone`.
bool waitFor(int fd, short events, Clock::time_point deadline, bool& gone) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return false;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                               static_cast<long>(ns % 1'000'000'000)};
        pollfd entry{fd, events, 0};
        const int ready = ppoll(&entry, 1, &timeout, nullptr);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            gone = true;
        }
        // A hang-up or error still lets the following read or write report it.
        return ready > 0;
    }
}

std::string hexText(std::string_view prefix, std::span<const std::uint8_t> bytes) {
    std::string text(prefix);
    char hex[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02x ", byte);
        text += hex;
    }
    return text;
}

bool isStatusFrame(std::span<const std::uint8_t> w) {
    return w[0] == 0x00 && (w[3] == 0x04 || w[3] == 0x07 || w[3] == 0x09) && w[4] == 0x01 &&
           w[5] == 0x00 && w[6] == 0x0C && w[8] == 0x00 && w[9] == 0x00 && w[10] == 0x00 &&
           w[11] == 0x0C;
}

}  // namespace

std::optional<bool> dataSetReady(int fd) {
    int lines = 0;
    if (fd < 0 || ioctl(fd, TIOCMGET, &lines) != 0) {
        return std::nullopt;
    }
    return (lines & TIOCM_DSR) != 0;
}

std::string devicePath(std::string_view portName) {
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (portName.size() > 3 && upper(portName[0]) == 'C' && upper(portName[1]) == 'O' &&
        upper(portName[2]) == 'M') {
        const std::string_view digits = portName.substr(3);
        if (digits.size() <= 4 && std::all_of(digits.begin(), digits.end(),
                                               [](char c) { return c >= '0' && c <= '9'; })) {
            const int number = std::stoi(std::string(digits));
            if (number >= 1) {
                return "/dev/ttyS" + std::to_string(number - 1);
            }
        }
    }
    return std::string(portName);
}

SerialPort::SerialPort() : pause_(sleepMilliseconds) {}

SerialPort::~SerialPort() { close(); }

int SerialPort::open(std::string_view portName, int readTimeout, int readInterval) {
    close();
    lost_ = false;
    settleDelay_ = std::max(readInterval, 0);
    readMultiplier_ = std::max(readTimeout, 0);

    // Non-blocking, so neither the open nor a read can hang on modem lines;
    // every wait goes through poll() with a deadline.
    const std::string path = devicePath(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return kOpenFailed;
    }
    fd_ = fd;
    lastOpenedPort.store(fd, std::memory_order_relaxed);

    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        close();
        return kGetStateFailed;
    }
    // Exclusive use of the line; best effort, a device may refuse.
    ioctl(fd, TIOCEXCL);

    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    bool applied = tcsetattr(fd, TCSANOW, &settings) == 0;
    if (applied) {
        // tcsetattr succeeds when any part was applied; check the parts we need.
        termios actual{};
        applied = tcgetattr(fd, &actual) == 0 && cfgetospeed(&actual) == B9600 &&
                  (actual.c_cflag & CSIZE) == CS8 && (actual.c_cflag & (PARENB | CSTOPB)) == 0;
    }
    purge();
    if (!applied) {
        close();
        return kSetStateFailed;
    }
    return kSuccess;
}

int SerialPort::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        return kWriteFailed;
    }
    const auto deadline = Clock::now() + kWriteTotalConstant +
                          kWriteTotalMultiplier * static_cast<long>(bytes.size());
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd_, POLLOUT, deadline, lost_)) {
                break;
            }
        } else {
            lost_ = lost_ || (n < 0 && isLineGone(errno));
            break;
        }
    }
    // Linux returns from write() once the bytes are queued; purging before they
    // have left would throw away a poll still on its way out.
    int drained;
    while ((drained = tcdrain(fd_)) != 0 && errno == EINTR) {
    }
    lost_ = lost_ || (drained != 0 && isLineGone(errno));
    purge();
    if (afterPurge_) {
        afterPurge_(bytes.first(written));
    }
    logTraffic("TX:", bytes.first(written));
    return written == bytes.size() ? kSuccess : kWriteFailed;
}

int SerialPort::readReply(std::span<std::uint8_t, kMaxFrameSize> buffer, std::uint32_t& length) {
    if (fd_ < 0) {
        return kNothingReceived;
    }
    std::array<std::uint8_t, kMaxFrameSize> work{};
    std::size_t total = 0;
    std::size_t ask = static_cast<std::size_t>(std::max(bytesWaiting(), 1));
    for (;;) {
        ask = std::min(ask, work.size() - total);
        total += timedRead(work.data() + total, ask);
        pause_(settleDelay_);
        // A full buffer cannot pass the acceptance rules; the rest goes with the purge.
        if (total == work.size()) {
            break;
        }
        const int waiting = bytesWaiting();
        if (waiting <= 0) {
            break;
        }
        ask = static_cast<std::size_t>(waiting);
    }

    const std::span<const std::uint8_t> received(work.data(), total);
    if (traffic_) {
        std::string text = hexText("RX:", received);
        if (total == 0 || text == "RX:00 00 00 00 00 00 00 00 00 00 00 00 ") {
            text = "RX:";
        }
        traffic_(text);
    }
    purge();

    if (total == 0) {
        return kNothingReceived;
    }
    switch (checkReply(received)) {
        case ReplyVerdict::drop:
            return kSuccess;
        case ReplyVerdict::reject:
            return kReplyRejected;
        case ReplyVerdict::deliver:
            break;
    }
    std::copy(received.begin(), received.end(), buffer.begin());
    length = static_cast<std::uint32_t>(total);
    return kSuccess;
}

int SerialPort::readStatus(std::span<std::uint8_t, kStatusBufferSize> buffer,
                           std::uint32_t& length) {
    if (fd_ < 0) {
        return kNothingReceived;
    }
    std::array<std::uint8_t, kStatusBufferSize> work{};
    const std::size_t total = timedRead(work.data(), work.size());
    const std::span<const std::uint8_t> received(work.data(), total);
    std::copy(received.begin(), received.end(), buffer.begin());
    logTraffic("DLRX:", received);
    purge();

    if (total < kStatusFrameSize) {
        return kNothingReceived;
    }
    for (std::size_t at = 0; at + kStatusFrameSize <= total; ++at) {
        const auto window = received.subspan(at, kStatusFrameSize);
        if (isStatusFrame(window)) {
            std::copy(window.begin(), window.end(), buffer.begin());
            length = kStatusFrameSize;
            return kSuccess;
        }
    }
    length = static_cast<std::uint32_t>(total);
    return kNothingReceived;
}

void SerialPort::close() {
    if (fd_ < 0) {
        return;
    }
    // The line watch must not query a number the system may hand out again.
    int self = fd_;
    lastOpenedPort.compare_exchange_strong(self, -1, std::memory_order_relaxed);
    ::close(fd_);
    fd_ = -1;
}

int SerialPort::bytesWaiting() const {
    int waiting = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

std::size_t SerialPort::timedRead(std::uint8_t* into, std::size_t count) {
    // Returns after `count` bytes, after the interval time-out between two
    // bytes, or when the total time-out for `count` bytes has passed.
    const auto start = Clock::now();
    const auto totalDeadline =
        start + kReadTotalConstant + milliseconds(readMultiplier_) * static_cast<long>(count);
    std::size_t got = 0;
    Clock::time_point lastByte{};
    while (got < count) {
        auto deadline = totalDeadline;
        if (got > 0) {
            deadline = std::min(deadline, lastByte + kReadIntervalTimeout);
        }
        if (!waitFor(fd_, POLLIN, deadline, lost_)) {
            break;
        }
        const ssize_t n = ::read(fd_, into + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            lastByte = Clock::now();
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (lost_) {
                break;  // a hung-up line is always "ready"; never spin on it
            }
            continue;
        } else {
            lost_ = lost_ || (n < 0 && isLineGone(errno));
            break;  // hang-up or device error: what arrived is all there is
        }
    }
    return got;
}

void SerialPort::purge() {
    if (fd_ >= 0) {
        tcflush(fd_, TCIFLUSH);
    }
}

void SerialPort::logTraffic(std::string_view prefix, std::span<const std::uint8_t> bytes) {
    if (traffic_) {
        traffic_(hexText(prefix, bytes));
    }
}

}  // namespace padlink
