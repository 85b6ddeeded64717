// Fuzz target: the acceptance rules for a reply to a poll, on any bytes a
// base station may deliver. A reply handed on must be one the command layer
// can take: a checked frame's length fields and checksum agree with what
// arrived.
#include "link/frame.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> reply(data, size);
    const padlink::ReplyVerdict verdict = padlink::checkReply(reply);
    if (verdict == padlink::ReplyVerdict::deliver && size > padlink::kHeaderSize &&
        data[7] != padlink::kRadioTestCommand) {
        padlink::LinkHeader header;
        padlink::readHeader(reply, header);
        if (header.length != size || size > padlink::kMaxFrameSize ||
            padlink::frameCrc(reply.subspan(padlink::kHeaderSize)) != header.crc) {
            std::abort();
        }
    }
    return 0;
}
