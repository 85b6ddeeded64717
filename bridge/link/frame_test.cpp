// Checksum, poll frame, header layout and the reply acceptance rules.
#include "link/frame.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string_view>
#include <vector>

namespace padlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Bit-at-a-time CRC-16/XMODEM, to hold the table-driven one against.
std::uint16_t bitwiseCrc(const Bytes& data) {
    std::uint16_t crc = 0;
    for (std::uint8_t byte : data) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

TEST(FrameCrc, KnownCheckValues) {
    struct Case {
        Bytes data;
        std::uint16_t crc;
    };
    const Case cases[] = {
        {bytesOf("123456789"), 0x31C3},
        {{}, 0x0000},
        {bytesOf("A"), 0x58E5},
        {{0x00}, 0x0000},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0x99CF},
        {{0x01, 0x02, 0x03}, 0x6131},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(frameCrc(c.data), c.crc) << "over " << c.data.size() << " bytes";
    }
}

TEST(FrameCrc, MatchesBitwiseDefinitionOnRandomPayloads) {
    std::mt19937 random(1234);
    for (std::size_t size : {1u, 2u, 7u, 255u, 256u, 4084u}) {
        Bytes data(size);
        for (auto& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        EXPECT_EQ(frameCrc(data), bitwiseCrc(data)) << "size " << size;
    }
}

TEST(PollFrame, CarriesAddressLowByteFirstAndKind) {
    // Handheld configured as 0a0b0c: low 0c, middle 0b, high 0a.
    EXPECT_EQ(pollFrame(0x0c, 0x0b, 0x0a, PollKind::normal),
              (PollFrame{0x0c, 0x0b, 0x0a, 0x0a, 0xef, 0x7b, 0xcd}));
    EXPECT_EQ(pollFrame(0x0c, 0x0b, 0x0a, PollKind::download),
              (PollFrame{0x0c, 0x0b, 0x0a, 0x0c, 0xef, 0x7b, 0xcd}));
}

TEST(LinkHeaderLayout, FieldsSitAtTheirBytesBigEndian) {
    const LinkHeader header{.code = 1, .index = 2, .address = 3, .type = 8, .aux = 5,
                            .length = 0x1234, .command = 0x81, .crc = 0xBEEF,
                            .length2 = 0x1234};
    Bytes frame(kHeaderSize);
    ASSERT_TRUE(writeHeader(frame, header));
    EXPECT_EQ(frame, (Bytes{1, 2, 3, 8, 5, 0x12, 0x34, 0x81, 0xBE, 0xEF, 0x12, 0x34}));

    LinkHeader back;
    ASSERT_TRUE(readHeader(frame, back));
    EXPECT_EQ(back, header);
}

TEST(LinkHeaderLayout, ShortBuffersAreRefused) {
    Bytes frame(kHeaderSize - 1, 0xAA);
    LinkHeader header{.code = 7};
    EXPECT_FALSE(readHeader(frame, header));
    EXPECT_EQ(header.code, 7);
    EXPECT_FALSE(writeHeader(frame, LinkHeader{}));
    EXPECT_EQ(frame, Bytes(kHeaderSize - 1, 0xAA));
}

TEST(SealFrame, StampsLengthsAndPayloadCrc) {
    Bytes frame(kMaxFrameSize, 0);
    frame[3] = 8;
    const Bytes payload = bytesOf("123456789");
    std::copy(payload.begin(), payload.end(), frame.begin() + kHeaderSize);

    ASSERT_TRUE(sealFrame(frame, kHeaderSize + payload.size()));
    LinkHeader header;
    readHeader(frame, header);
    EXPECT_EQ(header.length, 21);
    EXPECT_EQ(header.length2, 21);
    EXPECT_EQ(header.crc, 0x31C3);

    ASSERT_TRUE(sealFrame(frame, kHeaderSize));
    readHeader(frame, header);
    EXPECT_EQ(header.crc, 0x0000) << "a frame without payload carries 0";
}

TEST(SealFrame, RefusesImpossibleLengths) {
    Bytes frame(kMaxFrameSize + 1, 0x55);
    const Bytes before = frame;
    EXPECT_FALSE(sealFrame(frame, kHeaderSize - 1));
    EXPECT_FALSE(sealFrame(frame, kMaxFrameSize + 1));
    EXPECT_FALSE(sealFrame(std::span(frame).first(20), 21));
    EXPECT_EQ(frame, before);
}

// A sound reply of the given type and command, then altered by `tweak`.
Bytes reply(std::uint8_t type, std::uint8_t command, std::size_t payloadSize,
            const std::function<void(Bytes&)>& tweak = {}) {
    Bytes frame(kHeaderSize + payloadSize);
    for (std::size_t i = kHeaderSize; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    frame[2] = 0x0c;
    frame[3] = type;
    frame[7] = command;
    sealFrame(frame, frame.size());
    if (tweak) {
        tweak(frame);
    }
    return frame;
}

TEST(CheckReply, AcceptanceRulesInOrder) {
    const auto badCrc = [](Bytes& f) { f[9] ^= 0x01; };
    struct Case {
        const char* name;
        Bytes received;
        ReplyVerdict verdict;
    };
    const Case cases[] = {
        {"sound request", reply(2, 0x01, 21), ReplyVerdict::deliver},
        {"type 1 and type 11 are the range ends", reply(1, 0x01, 3), ReplyVerdict::deliver},
        {"type 11", reply(11, 0x01, 3), ReplyVerdict::deliver},
        {"largest frame", reply(8, 0x01, kMaxFrameSize - kHeaderSize), ReplyVerdict::deliver},
        {"12 bytes, lengths wrong, unchecked", reply(2, 0x01, 0, [](Bytes& f) { f[6] = 99; }),
         ReplyVerdict::deliver},
        {"12 zero bytes", Bytes(12, 0), ReplyVerdict::deliver},
        {"fewer than a header", Bytes{0x01, 0x02, 0x03}, ReplyVerdict::deliver},
        {"radio test with bad crc", reply(2, kRadioTestCommand, 25, badCrc),
         ReplyVerdict::deliver},
        {"type 4 short", reply(4, 0x01, 0), ReplyVerdict::drop},
        {"type 4 long and broken", reply(4, 0x01, 30, badCrc), ReplyVerdict::drop},
        {"13 bytes bad crc", reply(2, 0x01, 1, badCrc), ReplyVerdict::reject},
        {"type 0", reply(0, 0x01, 4), ReplyVerdict::reject},
        {"type 12", reply(12, 0x01, 4), ReplyVerdict::reject},
        {"second length differs", reply(2, 0x01, 4, [](Bytes& f) { f[11] += 1; }),
         ReplyVerdict::reject},
        {"length field beyond what arrived",
         reply(2, 0x01, 4, [](Bytes& f) { f[5] = 0x0F; f[6] = 0xA0; f[10] = 0x0F; f[11] = 0xA0; }),
         ReplyVerdict::reject},
        {"length field below a header",
         reply(2, 0x01, 4, [](Bytes& f) { f[6] = 5; f[11] = 5; }), ReplyVerdict::reject},
        {"more bytes than the length field", [] {
             Bytes f = reply(2, 0x01, 4);
             f.push_back(0);
             return f;
         }(), ReplyVerdict::reject},
        {"longer than a frame may be", [] {
             // Consistent in every other respect: lengths, received count, checksum.
             Bytes f(kMaxFrameSize + 1, 0x11);
             f[3] = 8;
             f[7] = 0x01;
             f[5] = f[10] = 0x10;
             f[6] = f[11] = 0x01;
             const std::uint16_t crc = frameCrc(std::span(f).subspan(kHeaderSize));
             f[8] = static_cast<std::uint8_t>(crc >> 8);
             f[9] = static_cast<std::uint8_t>(crc & 0xFF);
             return f;
         }(), ReplyVerdict::reject},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkReply(c.received), c.verdict) << c.name;
    }
}

}  // namespace
}  // namespace padlink
