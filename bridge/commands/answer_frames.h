// Building the answer frame for the handheld from the front end's answer
// text, in place over the request in the same frame buffer: one builder per
// answer kind. Every builder writes the header bytes its kind keeps or sets,
// the payload, the lengths and the checksum, and returns the frame length.
// A builder must never write past the 4096-byte buffer, whatever counts the
// answer text announces: lists that would not fit are cut (see each builder).
#pragma once

#include "commands/command_table.h"
#include "link/frame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace padlink {

// The poll thread's frame buffer.
using AnswerBuffer = std::span<std::uint8_t, kMaxFrameSize>;

inline constexpr std::size_t kMaxListValues = 100;
inline constexpr std::size_t kMaxReturnedItems = 123;  // 28 + 33 x 123 = 4087
inline constexpr std::int64_t kMaxEntries3 = 1299;
inline constexpr std::int64_t kMaxEntries6 = 599;
inline constexpr std::int64_t kMaxEntries8 = 499;
inline constexpr std::uint8_t kCountFollowsCode = 7;

std::size_t buildPlainAnswer(AnswerBuffer frame, std::string_view answer);
std::size_t buildValueListAnswer(AnswerBuffer frame, std::string_view answer);
std::size_t buildTableStatusAnswer(AnswerBuffer frame, std::string_view answer);
// Items beyond kMaxReturnedItems are not sent.
std::size_t buildTableStatusWithItemsAnswer(AnswerBuffer frame, std::string_view answer);
// List A is cut to what fits, then list B to what is left; the count in the
// frame is the count sent.
std::size_t buildTwoListsAnswer(AnswerBuffer frame, std::string_view answer);
std::size_t buildEntryList3Answer(AnswerBuffer frame, std::string_view answer);
std::size_t buildEntryList6Answer(AnswerBuffer frame, std::string_view answer);
// n of 500 or more is answered like an empty list, as the other entry lists
// answer counts beyond their limits.
std::size_t buildEntryList8Answer(AnswerBuffer frame, std::string_view answer);
// Lists cut as for the two-list answer.
std::size_t buildLoginAnswer(AnswerBuffer frame, std::string_view answer);
std::size_t buildSevenByteStatusAnswer(AnswerBuffer frame, std::string_view answer);
// Reads no answer text: the echo counts the intact test bytes of the request.
std::size_t buildRadioTestEcho(AnswerBuffer frame);

// The builder of `kind` (the radio-test echo ignores the text).
std::size_t buildAnswer(AnswerKind kind, AnswerBuffer frame, std::string_view answer);

}  // namespace padlink
