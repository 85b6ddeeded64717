// The session's exchange paths and its data area: each answer starts from
// zeros, tables hold exactly up to their record limits.
#include "link/link_session.h"

#include <gtest/gtest.h>

#include <vector>

namespace padlink {
namespace {

TEST(LinkSession, ExchangeFilesAreNamedByStationIdAndRecordedAsLast) {
    LinkSession first("/srv/TXT", 7);
    EXPECT_EQ(first.requestFile(), std::filesystem::path("/srv/TXT/TX7.txt"));
    EXPECT_EQ(first.answerFile(), std::filesystem::path("/srv/TXT/RX7.txt"));
    EXPECT_EQ(lastSessionId.load(), 7);

    LinkSession second("/srv/TXT", 0);
    EXPECT_EQ(second.requestFile(), std::filesystem::path("/srv/TXT/TX0.txt"));
    EXPECT_EQ(lastSessionId.load(), 0);
    EXPECT_EQ(second.packetCount, 1);
    EXPECT_EQ(second.packetCursor, 0);
}

TEST(LinkSession, EveryAnswerStartsFromAZeroedRequestArea) {
    LinkSession session("/tmp", 1);
    auto area = session.requestArea(64);
    ASSERT_GE(area.size(), 64u);
    for (auto byte : area) {
        ASSERT_EQ(byte, 0);
    }
    std::fill(area.begin(), area.end(), 0xA5);
    EXPECT_EQ(session.requestArea(64)[63], 0xA5) << "kept within one answer";

    auto grown = session.requestArea(1000);
    EXPECT_EQ(grown[0], 0xA5);
    EXPECT_EQ(grown[999], 0) << "growth is zero-filled";

    session.clearDataArea();
    for (auto byte : session.requestArea(1000)) {
        ASSERT_EQ(byte, 0);
    }
}

TEST(LinkSession, TablesFillToTheirLimitsAndClearToEmpty) {
    LinkSession session("/tmp", 1);
    const std::vector<std::uint8_t> printType(39, 0x13);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(session.appendRecord(13, printType));
    }
    EXPECT_FALSE(session.appendRecord(13, printType)) << "table 13 holds 5 records";
    EXPECT_EQ(session.recordCount(13), 5u);
    EXPECT_EQ(session.records(13).size(), 5u * 39u);

    // The smallest record keeps this affordable; all twelve share the limit.
    const std::vector<std::uint8_t> method(4, 0x04);
    for (int i = 0; i < 512'000; ++i) {
        ASSERT_TRUE(session.appendRecord(4, method)) << "record " << i;
    }
    EXPECT_FALSE(session.appendRecord(4, method));
    EXPECT_EQ(session.recordCount(4), 512'000u);
    EXPECT_EQ(tableLayout(1).recordLimit, 512'000u);

    EXPECT_FALSE(session.appendRecord(1, method)) << "wrong record size";
    EXPECT_FALSE(session.appendRecord(0, method));
    EXPECT_FALSE(session.appendRecord(14, method));
    EXPECT_EQ(session.recordCount(1), 0u);

    session.clearDataArea();
    EXPECT_EQ(session.recordCount(13), 0u);
    EXPECT_EQ(session.recordCount(4), 0u);
    EXPECT_TRUE(session.records(4).empty());
}

}  // namespace
}  // namespace padlink
