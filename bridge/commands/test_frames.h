// Request frames for the command layer's tests: a zeroed 4096-byte buffer,
// as the poll thread hands it over, holding one request.
#pragma once

#include "link/frame.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace padlink::testing {

using Buffer = std::array<std::uint8_t, kMaxFrameSize>;
using Bytes = std::vector<std::uint8_t>;

// Header bytes 0-4 as a handheld sends them (address 0x21, index 3, aux 1)
// and a sound length and checksum.
inline Buffer requestBuffer(std::uint8_t command, const Bytes& record) {
    Buffer buffer{};
    buffer[1] = 3;
    buffer[2] = 0x21;
    buffer[3] = 1;
    buffer[4] = 1;
    buffer[7] = command;
    std::copy(record.begin(), record.end(), buffer.begin() + kHeaderSize);
    sealFrame(buffer, kHeaderSize + record.size());
    return buffer;
}

inline Bytes bytesOf(const Buffer& buffer, std::size_t from, std::size_t count) {
    return Bytes(buffer.begin() + static_cast<std::ptrdiff_t>(from),
                 buffer.begin() + static_cast<std::ptrdiff_t>(from + count));
}

}  // namespace padlink::testing
