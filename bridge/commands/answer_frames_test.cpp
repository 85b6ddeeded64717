// Answer texts into answer frames: the header rules, every kind's payload,
// the code-7 answers, the empty-answer lengths and the lists that would not
// fit the buffer.
#include "commands/answer_frames.h"

#include "commands/answer_text.h"
#include "commands/request_lines.h"
#include "commands/test_frames.h"
#include "config/comma_locale.h"

#include <gtest/gtest.h>

#include <string>

namespace padlink {
namespace {

using testing::Buffer;
using testing::Bytes;
using testing::bytesOf;
using testing::requestBuffer;

struct Built {
    Buffer frame;
    std::size_t length;
    Bytes payload() const { return bytesOf(frame, kHeaderSize, length - kHeaderSize); }
};

// The answer to a request of `command`, built over that request.
Built answer(std::uint8_t command, std::string_view text, const Bytes& record = {}) {
    Built built{requestBuffer(command, record), 0};
    built.length = buildAnswer(findCommand(command)->answer, built.frame, text);
    return built;
}

// A sound answer frame: the acceptance rules check its lengths and checksum.
void expectSealed(const Built& built) {
    ASSERT_GE(built.length, kHeaderSize);
    ASSERT_LE(built.length, kMaxFrameSize);
    EXPECT_EQ(checkReply(bytesOf(built.frame, 0, built.length)), ReplyVerdict::deliver);
    EXPECT_EQ(built.frame[3], 8);
}

TEST(AnswerFrames, PlainAnswerKeepsAddressIndexAndCommand) {
    const Built built = answer(0x30, "0|other text");
    EXPECT_EQ(bytesOf(built.frame, 0, built.length),
              (Bytes{0x00, 0x03, 0x21, 0x08, 0x01, 0x00, 0x0C, 0x30, 0x00, 0x00, 0x00, 0x0C}));
    EXPECT_EQ(answer(0x84, "3|9").frame[0], 3);
    EXPECT_EQ(answer(0x37, "-1").frame[0], 255);
}

TEST(AnswerFrames, ValueList) {
    struct Case {
        std::string_view text;
        std::uint8_t code;
        Bytes payload;
    };
    const Case cases[] = {
        {"1", 1, {}},
        {"1|5,6", 1, {}},
        {"0|25", 0, {0x19, 0x00}},
        {"0|1,2,3", 0, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00}},
        {"4", 4, {0x00, 0x00}},
        {"", 0, {}},
        {"0|-1,70000", 0, {0xFF, 0xFF, 0x70, 0x11}},
    };
    for (const Case& c : cases) {
        const Built built = answer(0x31, c.text);
        expectSealed(built);
        EXPECT_EQ(built.frame[0], c.code) << c.text;
        EXPECT_EQ(built.frame[1], 3) << c.text;
        EXPECT_EQ(built.payload(), c.payload) << c.text;
    }
    std::string many = "0|1";
    for (int i = 0; i < 150; ++i) {
        many += ",9";
    }
    EXPECT_EQ(answer(0x31, many).length, kHeaderSize + 2 * kMaxListValues);
}

TEST(AnswerFrames, TableStatusAndItsCodeSeven) {
    const Built status = answer(0x51, "0|1,2,3,4,5,6,7,8,9,10");
    expectSealed(status);
    EXPECT_EQ(status.length, 25u);
    EXPECT_EQ(status.frame[1], 0);
    EXPECT_EQ(status.payload(), (Bytes{0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x05, 0x06, 0x07,
                                       0x0A, 0x09, 0x08}));

    for (std::uint8_t command : {0x51, 0x54, 0x66, 0x67}) {
        const Built seven = answer(command, "7|300");
        expectSealed(seven);
        EXPECT_EQ(seven.length, 14u);
        EXPECT_EQ(seven.frame[0], 7);
        EXPECT_EQ(seven.frame[1], 0);
        EXPECT_EQ(seven.payload(), (Bytes{0x01, 0x2C}));
    }
    const Built listSeven = answer(0x62, "7,300|1,2,3");
    EXPECT_EQ(listSeven.length, 14u);
    EXPECT_EQ(listSeven.payload(), (Bytes{0x01, 0x2C}));
    // The 6-byte list knows no code 7.
    EXPECT_EQ(answer(0x63, "7,1|1,2,3,4").length, 18u);
}

TEST(AnswerFrames, TableStatusWithItems) {
    const Built head = answer(0x66, "0|1,2,3,4,5,6,7,8,9,12.34");
    expectSealed(head);
    EXPECT_EQ(head.length, 28u);
    EXPECT_EQ(head.payload(), (Bytes{0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x05, 0x06, 0x07,
                                     0x09, 0x08, 0xD2, 0x04, 0x00, 0x00}));

    const Built items =
        answer(0x67, "0|258,772,3,4,5,6,7,8,9,0.29|1,50,60,4,1.5,6,7,-1,9,10,11,12,13,14,15,16,"
                     "167772.17,18");
    expectSealed(items);
    ASSERT_EQ(items.length, 28u + 33u);
    EXPECT_EQ(bytesOf(items.frame, 24, 4), (Bytes{28, 0, 0, 0}));  // 0.29 x 100 truncates
    EXPECT_EQ(bytesOf(items.frame, 28, 33),
              (Bytes{1,  0, 0x02, 0x01, 0x04, 0x03, 4,  0,  15, 0,  6,  7,  0xFF, 9,  10, 0, 11,
                     0,  12, 0, 13, 0,  14,   0,    15, 0,  16, 0,  1,  0,  0,    0,  18}));

    std::string many = "0|1,2,3,4,5,6,7,8,9,1";
    for (int i = 0; i < 200; ++i) {
        many += "|1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18";
    }
    const Built cut = answer(0x66, many);
    expectSealed(cut);
    EXPECT_EQ(cut.length, 28u + 33u * kMaxReturnedItems);
}

TEST(AnswerFrames, EntryLists) {
    const Built three = answer(0x62, "0,2|5,1,2|6,3,4");
    expectSealed(three);
    EXPECT_EQ(three.frame[1], 0);
    EXPECT_EQ(three.payload(), (Bytes{0x05, 0x00, 0x12, 0x06, 0x00, 0x34}));

    const Built six = answer(0x63, "0,1|1,2,3,4");
    expectSealed(six);
    EXPECT_EQ(six.frame[1], 3);
    EXPECT_EQ(six.payload(), (Bytes{0x01, 0x00, 0x02, 0x00, 0x04, 0x03}));

    const Built eight = answer(0x64, "0,1|1,2,3,12.34");
    expectSealed(eight);
    EXPECT_EQ(eight.payload(), (Bytes{0x01, 0x00, 0x02, 0x00, 0x03, 0xD2, 0x04, 0x00}));

    struct Limit {
        std::uint8_t command;
        int n;
        std::size_t length;
    };
    const Limit limits[] = {
        {0x62, 1299, 12 + 3 * 1299}, {0x62, 1300, 12}, {0x62, 0, 12}, {0x62, -1, 12},
        {0x63, 599, 12 + 6 * 599},   {0x63, 600, 12},  {0x64, 499, 12 + 8 * 499},
        {0x64, 500, 12},             {0x64, 0, 12},
    };
    for (const Limit& l : limits) {
        const Built built = answer(l.command, "0," + std::to_string(l.n));
        expectSealed(built);
        EXPECT_EQ(built.length, l.length) << int{l.command} << " n=" << l.n;
    }
}

TEST(AnswerFrames, TwoLists) {
    const Built onlyB = answer(0x69, "0,0,1|9,2");
    expectSealed(onlyB);
    EXPECT_EQ(onlyB.length, 17u);
    EXPECT_EQ(onlyB.payload(), (Bytes{0x00, 0x00, 0x09, 0x00, 0x02}));

    const Built both = answer(0x69, "5,2,1|1,2|3,4");
    expectSealed(both);
    EXPECT_EQ(both.frame[0], 5);
    EXPECT_EQ(both.payload(), (Bytes{0x00, 0x02, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04}));

    // Announced but not sent: the lists go out as zeros.
    EXPECT_EQ(answer(0x69, "0,1,1").payload(), (Bytes{0x00, 0x01, 0, 0, 0, 0, 0}));

    const Built huge = answer(0x69, "0,3000,3000|1");
    expectSealed(huge);
    EXPECT_EQ(huge.length, 14u + 2u * 2041u);
    EXPECT_EQ(bytesOf(huge.frame, 12, 2), (Bytes{0x07, 0xF9}));  // the count actually sent
    EXPECT_LE(answer(0x69, "0,1000,3000").length, kMaxFrameSize);
}

TEST(AnswerFrames, LoginKeepsTheHandheldsBytes) {
    Bytes record(24, 0);
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    const Built noA = answer(0x50, "2,1,3,4,5,6,7,8,9,0,3|1,1|2,2|3,3", record);
    expectSealed(noA);
    EXPECT_EQ(noA.length, 45u);
    EXPECT_EQ(noA.frame[1], 3);
    EXPECT_EQ(noA.frame[4], 1);
    EXPECT_EQ(bytesOf(noA.frame, 12, 22), bytesOf(requestBuffer(0x50, record), 12, 22));
    EXPECT_EQ(bytesOf(noA.frame, 34, 11), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0}));

    auto request = requestBuffer(0x50, record);
    request[4] = 0x5C;
    Built withLists{request, 0};
    withLists.length = buildLoginAnswer(withLists.frame, "0,1,0,0,0,0,0,0,0,2,1|7,8|9,10");
    expectSealed(withLists);
    EXPECT_EQ(withLists.frame[4], 0x5C);
    EXPECT_EQ(bytesOf(withLists.frame, 43, withLists.length - 43),
              (Bytes{0x00, 0x02, 7, 0, 8, 0, 9, 0, 10}));

    const Built huge = answer(0x50, "0,0,0,0,0,0,0,0,0,5000,5000", record);
    expectSealed(huge);
    EXPECT_EQ(huge.length, 45u + 2u * 2025u);
}

TEST(AnswerFrames, SevenByteStatusAndRadioEcho) {
    const Built status = answer(0x80, "3,1,2,3,4,5,6,7");
    expectSealed(status);
    EXPECT_EQ(status.length, 19u);
    EXPECT_EQ(status.frame[0], 3);
    EXPECT_EQ(status.payload(), (Bytes{1, 2, 3, 4, 5, 6, 7}));

    Bytes test(25, 0x5A);
    test[7] = 0x5B;
    Built echo{requestBuffer(0x38, test), 0};
    echo.length = buildRadioTestEcho(echo.frame);
    EXPECT_EQ(echo.length, 29u);
    EXPECT_EQ(bytesOf(echo.frame, 0, 4), (Bytes{0x00, 0x03, 0x21, 96}));
    EXPECT_EQ(bytesOf(echo.frame, 4, 25), Bytes(25, 0x5A));
    Built intact{requestBuffer(0x38, Bytes(25, 0x5A)), 0};
    buildRadioTestEcho(intact.frame);
    EXPECT_EQ(intact.frame[3], 100);
}

TEST(AnswerFrames, EmptyOrMissingAnswerFileLengths) {
    const std::pair<std::uint8_t, std::size_t> lengths[] = {
        {0x30, 12}, {0x31, 12}, {0x51, 25}, {0x66, 28}, {0x69, 14}, {0x62, 12},
        {0x63, 12}, {0x64, 12}, {0x50, 45}, {0x80, 19},
    };
    for (const auto& [command, length] : lengths) {
        const Built built = answer(command, "");
        expectSealed(built);
        EXPECT_EQ(built.length, length) << int{command};
        EXPECT_EQ(built.frame[0], 0) << int{command};
        if (command != 0x50) {  // login keeps the handheld's own bytes
            EXPECT_EQ(built.payload(), Bytes(length - 12, 0)) << int{command};
        }
    }
}

TEST(AnswerNumbers, ReadLikeTheFrontEndWritesThem) {
    EXPECT_EQ(readInteger("  -12abc"), -12);
    EXPECT_EQ(readInteger("+7"), 7);
    EXPECT_EQ(readInteger("x1"), 0);
    EXPECT_EQ(readInteger("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(readScaled("12.34", 100), 1234);
    EXPECT_EQ(readScaled("0.29", 100), 28);
    EXPECT_EQ(readScaled(" -1.25", 10), -12);
    EXPECT_EQ(readScaled("+3.5", 10), 35);
    EXPECT_EQ(readScaled("nan", 100), 0);
    EXPECT_EQ(readScaled("1e300", 100), 9'000'000'000'000'000'000);
    EXPECT_EQ(readScaled("abc", 100), 0);
}

// Answers read and request lines written under a comma-decimal locale (the
// window layer sets the process locale from the environment).
TEST(AnswerNumbers, ReadAndWrittenTheSameUnderACommaLocale) {
    testing::CommaDecimalLocale locale;
    if (!locale.active()) {
        GTEST_SKIP() << locale.why();
    }
    EXPECT_EQ(readScaled("12.34", 100), 1234);
    EXPECT_EQ(readScaled("12,34", 100), 1200);  // a comma ends the number, as in the C locale
    std::string line;
    appendTenths(line, 15);
    line += ';';
    appendHundredths(line, 1234);
    EXPECT_EQ(line, "1.5;12.34");
}

}  // namespace
}  // namespace padlink
