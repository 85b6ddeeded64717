#include "engine/service_state.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

TEST(ServiceState, ALaterStartSupersedesTheWorkerOfAnEarlierOne)
{
    ServiceState state;
    EXPECT_EQ(state.runFlag(), u"N"_s);
    const RunToken first = state.beginRun();
    EXPECT_TRUE(first.running());
    EXPECT_EQ(state.runFlag(), u"Y"_s);

    const RunToken second = state.beginRun();  // watchdog or tray "启动" while running
    EXPECT_FALSE(first.running());
    EXPECT_TRUE(second.running());

    state.stop();
    EXPECT_FALSE(second.running());
    EXPECT_FALSE(RunToken().running());
}

TEST(ServiceState, HeartbeatIsNullUntilTheFirstBeat)
{
    ServiceState state;
    EXPECT_TRUE(state.heartbeat().isNull());
    const QDateTime at(QDate(2026, 12, 11), QTime(12, 0, 1, 250));
    state.beat(at);
    EXPECT_EQ(state.heartbeat(), at);
}

TEST(PrintList, StationsShareAnEntryByPrinterNameAndStopKeepsFaults)
{
    PrintListStore list;
    list.setFault(u"hot"_s, true);
    list.setFault(u"cold"_s, false);
    list.setFault(u"hot"_s, false);  // a later station with the same printer wins
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.snapshot()[0].Fault, 0);
    EXPECT_TRUE(list.setBackup(1, u"cold"_s, u"spare"_s, 3));
    EXPECT_FALSE(list.setBackup(2, u"x"_s, u"y"_s, 0));

    list.setFault(u"cold"_s, true);
    list.clearNames();
    const auto entries = list.snapshot();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[1].PrinterName.isEmpty());
    EXPECT_TRUE(entries[1].BackupName.isEmpty());
    EXPECT_EQ(entries[1].Fault, 1);
    list.clear();
    EXPECT_EQ(list.size(), 0u);
}

}  // namespace
