// The label of a handheld, looked up by the low address byte a reply carries.
#include "link/handheld_table.h"

#include <gtest/gtest.h>

namespace padlink {
namespace {

class HandheldLabel : public ::testing::Test {
protected:
    void SetUp() override {
        set(1, 0, 0x0a, 0x0b, 0x0c);
        set(1, 1, 0x12, 0x34, 0x56);
        set(1, 2, 0xff, 0xee, 0x0c);  // same low byte as entry 0
    }
    void set(int station, int index, std::uint8_t high, std::uint8_t middle, std::uint8_t low) {
        auto& entry = table.rows[static_cast<std::size_t>(station)][static_cast<std::size_t>(index)];
        entry.addressHigh = high;
        entry.addressMiddle = middle;
        entry.addressLow = low;
    }
    HandheldTable table;
};

TEST_F(HandheldLabel, FindsTheFirstMatchWithinTheCount) {
    struct Case {
        std::uint8_t low;
        int count;
        int station;
        const char* label;
    };
    const Case cases[] = {
        {0x0c, 3, 1, "0a0b0c"},   // first of two entries with that low byte
        {0x56, 3, 1, "123456"},
        {0x56, 1, 1, ""},         // entry beyond the count is not looked at
        {0x0c, 3, 0, ""},         // other station
        {0x99, 3, 1, ""},
        {0x0c, 0, 1, ""},
        {0x0c, 255, 1, "0a0b0c"}, // a count beyond the row stops at the row
        {0x00, 255, 1, "000000"}, // empty entries are all zero
        {0x0c, 3, 8, ""},
        {0x0c, 3, -1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(handheldLabel(table, c.low, c.count, c.station), c.label)
            << "low " << int{c.low} << " count " << c.count << " station " << c.station;
    }
}

}  // namespace
}  // namespace padlink
