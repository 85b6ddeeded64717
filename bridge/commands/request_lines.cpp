// Request records and request lines.
#include "commands/request_lines.h"

#include <charconv>

namespace padlink {

namespace {

constexpr std::uint8_t kDigitStringEnd = 0xAA;
constexpr std::size_t kDigitStringSize = 10;

std::uint16_t u16At(RequestFrame frame, std::size_t at) {
    return static_cast<std::uint16_t>(frame[at] | (frame[at + 1] << 8));
}

std::int16_t s16At(RequestFrame frame, std::size_t at) {
    return static_cast<std::int16_t>(u16At(frame, at));
}

std::uint32_t u32At(RequestFrame frame, std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) | (static_cast<std::uint32_t>(frame[at + 1]) << 8) |
           (static_cast<std::uint32_t>(frame[at + 2]) << 16) |
           (static_cast<std::uint32_t>(frame[at + 3]) << 24);
}

// Fields 1-16, shared by both item layouts. Field 9 comes in already adjusted.
void appendItemFields(std::string& line, RequestFrame frame, std::size_t at, int field9) {
    for (std::size_t offset = 0; offset < 8; offset += 2) {
        appendInteger(line, s16At(frame, at + offset));
        line += ',';
    }
    appendTenths(line, s16At(frame, at + 8));
    line += ',';
    appendInteger(line, frame[at + 10]);
    line += ',';
    appendInteger(line, frame[at + 11]);
    line += ',';
    appendInteger(line, static_cast<std::int8_t>(frame[at + 12]));
    line += ',';
    appendInteger(line, field9);
    for (std::size_t offset = 14; offset < 28; offset += 2) {
        line += ',';
        appendInteger(line, s16At(frame, at + offset));
    }
}

void appendShortItems(std::string& line, RequestFrame frame, bool raised) {
    const std::size_t count = recordCount(frame, kShortItemRecordSize);
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t at = kHeaderSize + r * kShortItemRecordSize;
        int field9 = frame[at + 13];
        if (raised) {
            field9 = (field9 + 100) % 256;
        }
        appendItemFields(line, frame, at, field9);
        line += '\n';
    }
}

void appendItems(std::string& line, RequestFrame frame, int orderVersion) {
    const std::size_t count = recordCount(frame, kItemRecordSize);
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t at = kHeaderSize + r * kItemRecordSize;
        int field9 = frame[at + 13];
        if (field9 == 3 && orderVersion != 0) {
            field9 = 5;
        }
        appendItemFields(line, frame, at, field9);
        line += ',';
        appendHundredths(line, u32At(frame, at + 28));
        line += ',';
        appendInteger(line, frame[at + 32]);
        line += '\n';
    }
}

void appendThreeNumbers(std::string& line, RequestFrame frame, const Command& command) {
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t at = kHeaderSize + 2 * i;
        if (i > 0) {
            line += ',';
        }
        switch (command.numbers[i]) {
        case NumberField::signed16:
            appendInteger(line, s16At(frame, at));
            break;
        case NumberField::unsigned16:
            appendInteger(line, u16At(frame, at));
            break;
        case NumberField::byteOnly:
            appendInteger(line, frame[at]);
            break;
        }
    }
}

void appendDigitString(std::string& line, RequestFrame frame, std::size_t at) {
    for (std::size_t i = 0; i < kDigitStringSize && frame[at + i] != kDigitStringEnd; ++i) {
        appendInteger(line, frame[at + i]);
    }
}

}  // namespace

void appendInteger(std::string& line, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    line.append(digits, result.ptr);
}

void appendTenths(std::string& line, std::int16_t tenths) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, tenths * 0.1,
                                      std::chars_format::fixed, 1);
    line.append(digits, result.ptr);
}

void appendHundredths(std::string& line, std::uint32_t hundredths) {
    // The factor is the single-precision 0.01 and the product is taken in
    // double precision: exact to the cent up to 223,696.21, one cent low
    // above, as the front end has always seen it. A product held in single
    // precision would lose a cent from 65,536.06 on.
    const double amount = static_cast<double>(hundredths) * static_cast<double>(0.01f);
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, amount, std::chars_format::fixed, 2);
    line.append(digits, result.ptr);
}

std::size_t requestLength(RequestFrame frame) {
    const std::size_t claimed = static_cast<std::size_t>((frame[5] << 8) | frame[6]);
    return claimed < frame.size() ? claimed : frame.size();
}

std::size_t recordCount(RequestFrame frame, std::size_t recordSize) {
    const std::size_t length = requestLength(frame);
    return length > kHeaderSize ? (length - kHeaderSize) / recordSize : 0;
}

RequestLine buildRequestLine(RequestFrame frame, const Command& command, int orderVersion) {
    RequestLine request;
    std::string& line = request.text;
    const auto claimedLength = static_cast<std::uint16_t>((frame[5] << 8) | frame[6]);
    if (command.record == RequestRecord::checkOut && claimedLength != kCheckOutFrameLength) {
        request.status = RequestStatus::checkOutLength;
        return request;
    }
    if (command.record == RequestRecord::startNow && claimedLength != kStartNowFrameLength) {
        request.status = RequestStatus::startNowLength;
        return request;
    }
    line.reserve(64);
    line += command.prefix;
    switch (command.record) {
    case RequestRecord::none:
    case RequestRecord::empty:
        break;
    case RequestRecord::shortItems:
        appendShortItems(line, frame, false);
        break;
    case RequestRecord::shortItemsRaised:
        appendShortItems(line, frame, true);
        break;
    case RequestRecord::items:
        appendItems(line, frame, orderVersion);
        break;
    case RequestRecord::threeNumbers:
        appendThreeNumbers(line, frame, command);
        break;
    case RequestRecord::checkOut:
        appendInteger(line, u16At(frame, 12));
        line += ',';
        appendHundredths(line, u32At(frame, 14));
        line += ',';
        appendInteger(line, s16At(frame, 18));
        break;
    case RequestRecord::startNow:
        appendInteger(line, s16At(frame, 12));
        line += ',';
        appendInteger(line, u16At(frame, 14));
        line += ',';
        appendInteger(line, s16At(frame, 16));
        break;
    case RequestRecord::loginOneString:
        appendInteger(line, s16At(frame, 12));
        line += ',';
        appendDigitString(line, frame, 14);
        break;
    case RequestRecord::loginTwoStrings:
        appendInteger(line, s16At(frame, 12));
        line += ',';
        appendDigitString(line, frame, 14);
        line += ',';
        appendDigitString(line, frame, 24);
        break;
    case RequestRecord::radioTest:
        for (std::size_t at = 12; at <= 36; ++at) {
            appendInteger(line, frame[at]);
        }
        break;
    }
    return request;
}

}  // namespace padlink
