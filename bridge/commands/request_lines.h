// Decoding a handheld's request record into the request line the front end
// reads: item lists, three-number records, the check-out and "即起" records,
// login records and the radio test record, with their number formats.
// Pure: bytes in, text out. It must never read outside the frame buffer,
// whatever the frame's length field claims, and never write any file.
#pragma once

#include "commands/command_table.h"
#include "link/frame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace padlink {

using RequestFrame = std::span<const std::uint8_t, kMaxFrameSize>;

inline constexpr std::size_t kShortItemRecordSize = 28;
inline constexpr std::size_t kItemRecordSize = 33;
inline constexpr std::uint16_t kCheckOutFrameLength = 20;
inline constexpr std::uint16_t kStartNowFrameLength = 18;

enum class RequestStatus {
    ok,
    checkOutLength,  // the "结账" frame is not 20 bytes long
    startNowLength,  // the "即起" frame is not 18 bytes long
};

struct RequestLine {
    RequestStatus status = RequestStatus::ok;
    std::string text;  // empty unless status is ok (and for the empty request)
};

// The frame's length field, limited to the buffer. Frames of up to 12 bytes
// reach the bridge unchecked, so the field may claim anything.
std::size_t requestLength(RequestFrame frame);

// Number of records of `recordSize` bytes after the header.
std::size_t recordCount(RequestFrame frame, std::size_t recordSize);

// `orderVersion` is the "落单版本" switch: nonzero turns field 9 = 3 of an
// ItemRecord into 5.
RequestLine buildRequestLine(RequestFrame frame, const Command& command, int orderVersion);

// The number formats of request lines, independent of the process locale.
void appendInteger(std::string& line, long long value);
void appendTenths(std::string& line, std::int16_t tenths);        // 15 -> 1.5
void appendHundredths(std::string& line, std::uint32_t hundredths);  // 1234 -> 12.34

}  // namespace padlink
