// Fuzz target: every answer builder on any answer text, over a request
// buffer that holds whatever a handheld may have left in it. No builder may
// write past the buffer, and every frame it returns must pass the acceptance
// rules the handheld applies (sound lengths and checksum).
#include "commands/answer_frames.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr padlink::AnswerKind kKinds[] = {
    padlink::AnswerKind::plain,        padlink::AnswerKind::valueList,
    padlink::AnswerKind::tableStatus,  padlink::AnswerKind::tableStatusWithItems,
    padlink::AnswerKind::twoLists,     padlink::AnswerKind::entryList3,
    padlink::AnswerKind::entryList6,   padlink::AnswerKind::entryList8,
    padlink::AnswerKind::login,        padlink::AnswerKind::sevenByteStatus,
    padlink::AnswerKind::radioTestEcho,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first 12 bytes stand for the request header the answer is built over.
    static std::array<std::uint8_t, padlink::kMaxFrameSize> frame;
    const std::size_t header = size < padlink::kHeaderSize ? size : padlink::kHeaderSize;
    const std::string_view text(reinterpret_cast<const char*>(data) + header, size - header);
    for (padlink::AnswerKind kind : kKinds) {
        frame.fill(0xC5);
        std::memcpy(frame.data(), data, header);
        const std::size_t length = padlink::buildAnswer(kind, frame, text);
        if (length > padlink::kMaxFrameSize) {
            std::abort();
        }
        if (kind == padlink::AnswerKind::radioTestEcho) {
            continue;
        }
        if (length < padlink::kHeaderSize ||
            padlink::checkReply(std::span<const std::uint8_t>(frame.data(), length)) !=
                padlink::ReplyVerdict::deliver) {
            std::abort();
        }
    }
    return 0;
}
