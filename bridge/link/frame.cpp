// Poll frame, link-frame header, checksum and reply acceptance.
#include "link/frame.h"

namespace padlink {
namespace {

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint16_t crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
        table[byte] = crc;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

std::uint16_t readBigEndian(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void writeBigEndian(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::uint16_t frameCrc(std::span<const std::uint8_t> payload) {
    std::uint16_t crc = 0;
    for (std::uint8_t byte : payload) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ byte) & 0xFF]);
    }
    return crc;
}

PollFrame pollFrame(std::uint8_t addressLow, std::uint8_t addressMiddle,
                    std::uint8_t addressHigh, PollKind kind) {
    return {addressLow, addressMiddle, addressHigh, static_cast<std::uint8_t>(kind),
            0xEF,       0x7B,          0xCD};
}

bool readHeader(std::span<const std::uint8_t> frame, LinkHeader& header) {
    if (frame.size() < kHeaderSize) {
        return false;
    }
    header.code = frame[0];
    header.index = frame[1];
    header.address = frame[2];
    header.type = frame[3];
    header.aux = frame[4];
    header.length = readBigEndian(frame, 5);
    header.command = frame[7];
    header.crc = readBigEndian(frame, 8);
    header.length2 = readBigEndian(frame, 10);
    return true;
}

bool writeHeader(std::span<std::uint8_t> frame, const LinkHeader& header) {
    if (frame.size() < kHeaderSize) {
        return false;
    }
    frame[0] = header.code;
    frame[1] = header.index;
    frame[2] = header.address;
    frame[3] = header.type;
    frame[4] = header.aux;
    writeBigEndian(frame, 5, header.length);
    frame[7] = header.command;
    writeBigEndian(frame, 8, header.crc);
    writeBigEndian(frame, 10, header.length2);
    return true;
}

bool sealFrame(std::span<std::uint8_t> frame, std::size_t length) {
    if (length < kHeaderSize || length > kMaxFrameSize || length > frame.size()) {
        return false;
    }
    const auto total = static_cast<std::uint16_t>(length);
    writeBigEndian(frame, 5, total);
    writeBigEndian(frame, 8, frameCrc(frame.subspan(kHeaderSize, length - kHeaderSize)));
    writeBigEndian(frame, 10, total);
    return true;
}

ReplyVerdict checkReply(std::span<const std::uint8_t> received) {
    if (received.size() > 3 && received[3] == kReadyType) {
        return ReplyVerdict::drop;
    }
    if (received.size() <= kHeaderSize || received[7] == kRadioTestCommand) {
        return ReplyVerdict::deliver;
    }
    LinkHeader header;
    readHeader(received, header);
    // Length before checksum, so the checksum never reads past what arrived.
    const bool sound = header.length == header.length2 && header.type >= 1 &&
                       header.type <= 11 && header.length >= kHeaderSize &&
                       header.length <= kMaxFrameSize && header.length == received.size() &&
                       frameCrc(received.subspan(kHeaderSize, header.length - kHeaderSize)) ==
                           header.crc;
    return sound ? ReplyVerdict::deliver : ReplyVerdict::reject;
}

}  // namespace padlink
