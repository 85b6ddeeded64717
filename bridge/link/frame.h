// The bytes on a base station's serial line: the 7-byte poll, the 12-byte
// link-frame header with its big-endian fields, the payload checksum and the
// rules that decide whether a reply to a poll is handed on. Everything here
// is a pure function of its arguments; nothing touches a port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace padlink {

inline constexpr std::size_t kPollFrameSize = 7;
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kMaxFrameSize = 4096;

// Command byte of a reply that carries the radio test record; such replies
// carry no checksum the bridge can rely on.
inline constexpr std::uint8_t kRadioTestCommand = 0x38;
// Frame type a handheld uses for "ready for the next packet"; as a reply to a
// poll it means nothing and is dropped.
inline constexpr std::uint8_t kReadyType = 4;

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR).
std::uint16_t frameCrc(std::span<const std::uint8_t> payload);

enum class PollKind : std::uint8_t {
    normal = 0x0A,
    download = 0x0C,
};

using PollFrame = std::array<std::uint8_t, kPollFrameSize>;

// Address bytes as kept in the handheld table; the frame sends low byte first.
PollFrame pollFrame(std::uint8_t addressLow, std::uint8_t addressMiddle,
                    std::uint8_t addressHigh, PollKind kind);

struct LinkHeader {
    std::uint8_t code = 0;
    std::uint8_t index = 0;
    std::uint8_t address = 0;
    std::uint8_t type = 0;
    std::uint8_t aux = 0;
    std::uint16_t length = 0;
    std::uint8_t command = 0;
    std::uint16_t crc = 0;
    std::uint16_t length2 = 0;

    friend bool operator==(const LinkHeader&, const LinkHeader&) = default;
};

// Both need at least kHeaderSize bytes; they return false (and leave their
// output alone) when given fewer.
bool readHeader(std::span<const std::uint8_t> frame, LinkHeader& header);
bool writeHeader(std::span<std::uint8_t> frame, const LinkHeader& header);

// Stamps the length fields and the payload checksum of a frame whose first
// `length` bytes are built. Fails without touching the frame when the length
// is below the header, above kMaxFrameSize or beyond the buffer.
bool sealFrame(std::span<std::uint8_t> frame, std::size_t length);

enum class ReplyVerdict {
    deliver,  // hand the reply on
    drop,     // a valid read that carries nothing for the caller
    reject,   // failed the checks; its bytes are discarded
};

// The acceptance rules for a reply to a poll, in their fixed order.
ReplyVerdict checkReply(std::span<const std::uint8_t> received);

}  // namespace padlink
