// The bridge's access to a base station: one serial device in raw mode at
// 9600 8N1, with the read time-outs of a synchronous Windows port reproduced
// by poll() against the monotonic clock. Besides the plain write it offers the
// reply read of the poll cycle (whole reply, acceptance rules applied) and the
// status read of downloads (one status frame found in whatever arrived).
// A port belongs to one poll thread; nothing here locks.
#pragma once

#include "link/frame.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace padlink {

inline constexpr std::size_t kStatusBufferSize = 100;
inline constexpr std::size_t kStatusFrameSize = 12;

// File descriptor of the port opened last by any thread, -1 when none; the
// line watch queries its modem lines.
extern std::atomic<int> lastOpenedPort;

// DSR of the line, or nothing when the query fails (a pseudo-terminal always
// fails it).
std::optional<bool> dataSetReady(int fd);

// COMn is /dev/ttyS<n-1>; anything else is a path as it stands.
std::string devicePath(std::string_view portName);

class SerialPort {
public:
    // Receives each traffic text ("TX:..", "RX:..", "DLRX:.."); unset, the
    // traffic log is off.
    using TrafficSink = std::function<void(std::string_view)>;
    // Waits the settle delay between read chunks. Tests replace it to make a
    // burst arrive exactly while the reader waits.
    using Pause = std::function<void(int milliseconds)>;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Called in every write after the purge, with the bytes written. Tests use
    // it to let the far end answer only once its answer can no longer be
    // purged, instead of racing the purge with a delay.
    using AfterPurge = std::function<void(std::span<const std::uint8_t> written)>;

    void setTrafficSink(TrafficSink sink) { traffic_ = std::move(sink); }
    void setPause(Pause pause) { pause_ = std::move(pause); }
    void setAfterPurge(AfterPurge hook) { afterPurge_ = std::move(hook); }

    // 0, or 1001 (cannot open), 1002 (no terminal settings), 1003 (settings
    // refused; the port is closed again). The time-outs are held here, so
    // 1004 and 1005 cannot occur.
    int open(std::string_view portName, int readTimeout, int readInterval);

    // Writes every byte, waits until they have left, then discards what has
    // been received so far. 0 or 1006.
    int write(std::span<const std::uint8_t> bytes);

    // 0 (with or without data: a dropped reply leaves buffer and length
    // alone), 1007 (nothing) or 1009 (rejected).
    int readReply(std::span<std::uint8_t, kMaxFrameSize> buffer, std::uint32_t& length);

    // 0 with the status frame at the buffer's start and length 12, or 1007.
    int readStatus(std::span<std::uint8_t, kStatusBufferSize> buffer, std::uint32_t& length);

    void close();

    bool isOpen() const { return fd_ >= 0; }
    // The device has gone or hung up (a pulled adapter, a closed
    // pseudo-terminal): a silent handheld never sets it. Cleared by open().
    bool lineLost() const { return lost_; }
    int fd() const { return fd_; }
    // Bytes received and not yet read.
    int bytesWaiting() const;

private:
    // A synchronous read of up to `count` bytes under the port's time-outs.
    std::size_t timedRead(std::uint8_t* into, std::size_t count);
    void purge();
    void logTraffic(std::string_view prefix, std::span<const std::uint8_t> bytes);

    int fd_ = -1;
    int settleDelay_ = 0;        // ms after each reply chunk
    int readMultiplier_ = 0;     // ms per requested byte
    bool lost_ = false;
    TrafficSink traffic_;
    Pause pause_;
    AfterPurge afterPurge_;
};

}  // namespace padlink
