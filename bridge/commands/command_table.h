// The commands a handheld may send: for every command byte that is answered,
// the notice the front end receives, the request record that follows the
// header, how the request line begins and which kind of answer goes back.
// A byte that is not listed is never answered; keep it that way, the
// handhelds rely on silence for the bytes they use among themselves.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace padlink {

enum class RequestRecord : std::uint8_t {
    none,              // the line is the bare prefix
    empty,             // the line is empty (the seven-byte status)
    shortItems,        // ShortItemRecord list
    shortItemsRaised,  // ShortItemRecord list, field 9 raised by 100
    items,             // ItemRecord list with the order-version rule
    threeNumbers,
    checkOut,          // "结账", a 20-byte frame
    startNow,          // "即起", an 18-byte frame
    loginOneString,    // number and the first digit string
    loginTwoStrings,   // number and both digit strings
    radioTest,
};

enum class AnswerKind : std::uint8_t {
    plain,
    valueList,
    tableStatus,
    tableStatusWithItems,
    twoLists,
    entryList3,
    entryList6,
    entryList8,
    login,
    sevenByteStatus,
    radioTestEcho,
};

// How one number of a three-number record is read.
enum class NumberField : std::uint8_t {
    signed16,
    unsigned16,
    byteOnly,  // the low byte alone, unsigned; the high byte is not read
};

struct Command {
    std::uint8_t byte;
    std::string_view notice;  // empty: the front end is not told
    std::string_view prefix;  // start of the request line
    RequestRecord record;
    AnswerKind answer;
    std::array<NumberField, 3> numbers{};  // three-number records only
};

// The command of a byte, nullptr when the byte is not answered.
const Command* findCommand(std::uint8_t byte);

}  // namespace padlink
