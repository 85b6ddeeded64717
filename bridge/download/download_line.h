// The part of a serial port the download conversations use: write a frame,
// and read one status frame under the port's time-outs. SerialPort has both;
// DownloadLine refers to any such port without owning it, so the same
// conversations run on a real device, a pseudo-terminal, or a port with a
// modelled line speed. It must never outlive the port it refers to.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace padlink {

// The status read takes one read of up to this many bytes.
inline constexpr std::size_t kStatusReadBytes = 100;

using StatusBuffer = std::span<std::uint8_t, kStatusReadBytes>;

template <class Port>
concept StatusPort = requires(Port& port, std::span<const std::uint8_t> bytes,
                              StatusBuffer status, std::uint32_t& length) {
    // 0, or 1006 when the write failed.
    { port.write(bytes) } -> std::convertible_to<int>;
    // 0 with the 12-byte status frame at the buffer's start, else 1007.
    { port.readStatus(status, length) } -> std::convertible_to<int>;
};

class DownloadLine {
public:
    // Copying a line copies the reference; it never wraps the line itself.
    template <StatusPort Port>
        requires(!std::same_as<std::remove_cv_t<Port>, DownloadLine>)
    DownloadLine(Port& port)  // NOLINT: a port is a line
        : port_(&port),
          write_([](void* p, std::span<const std::uint8_t> bytes) {
              return static_cast<int>(static_cast<Port*>(p)->write(bytes));
          }),
          readStatus_([](void* p, StatusBuffer status, std::uint32_t& length) {
              return static_cast<int>(static_cast<Port*>(p)->readStatus(status, length));
          }) {}

    int write(std::span<const std::uint8_t> bytes) const { return write_(port_, bytes); }
    int readStatus(StatusBuffer status, std::uint32_t& length) const {
        return readStatus_(port_, status, length);
    }

private:
    void* port_;
    int (*write_)(void*, std::span<const std::uint8_t>);
    int (*readStatus_)(void*, StatusBuffer, std::uint32_t&);
};

}  // namespace padlink
