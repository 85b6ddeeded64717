// The download page offscreen (its tree, boxes, button and progress rows on
// flags of its own), and a whole download through the real dialog and poll
// thread with the simulator's handhelds taking the tables.
#include "app/dialog_download_host.h"
#include "app/main_dialog.h"
#include "app/pages.h"
#include "app/test_support.h"
#include "base_station_sim.h"
#include "config/test_folder.h"
#include "download/poll_downloads.h"
#include "download/table_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>

namespace padlink {
namespace {

using testing::expectSameRecords;
using testing::waitUntil;
using testing::writeTable;

class DownloadPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::array<std::array<std::uint8_t, 3>, 3> addresses{
            {{0x0c, 0x0b, 0x0a}, {0x33, 0x22, 0x11}, {0x66, 0x55, 0x44}}};
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            row[i].addressLow = addresses[i][0];
            row[i].addressMiddle = addresses[i][1];
            row[i].addressHigh = addresses[i][2];
        }
        page.setPorts({"/dev/pts/91", "/dev/pts/92"});
        // Upper case as a handheld file may write it: the marks must still be found.
        page.showHandhelds(QStringLiteral("/dev/pts/91"), {"0a0b0c", "112233", "44556A"}, &row);
        row[2].addressLow = 0x6a;
    }

    QTreeWidgetItem* root() const { return page.tree()->topLevelItem(0); }
    QTreeWidgetItem* child(int i) const { return root()->child(i); }
    void tick(QTreeWidgetItem* item, bool on) { item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked); }
    std::uint8_t mark(int i) const { return row[static_cast<std::size_t>(i)].mark.load(); }
    QString state(int i) const { return page.list()->topLevelItem(i)->text(2); }
    // Presses "下载" and returns the boxes shown (auto-answered onto stderr).
    std::string press() {
        ::testing::internal::CaptureStderr();
        page.downloadButton()->click();
        return ::testing::internal::GetCapturedStderr();
    }
    std::vector<int> chosenTables() const {
        std::vector<int> chosen;
        for (const auto& slot : tables) {
            chosen.push_back(slot.load());
        }
        return chosen;
    }

    HandheldRow row;
    std::atomic<int> mode{0};
    TableChoice tables{};
    std::atomic<int> count{0};
    DownloadPage page{mode, ManualChoice{tables, count}};
};

TEST_F(DownloadPageTest, BoxesTitlesDefaultsAndListColumns) {
    struct Box {
        const char* title;
        bool checked;
        bool shown;
    };
    const Box expected[kTableCount] = {
        {"菜品信息", true, true}, {"菜品一级", true, true}, {"菜品二级", true, true},
        {"默认做法", true, true}, {"套餐", true, true},     {"房台", true, true},
        {"退菜理由", true, true}, {"做法一级", true, true}, {"做法二级", true, true},
        {"菜品单位", true, true}, {"统计类别", false, false}, {"楼层", true, true},
        {"打印类型", false, false}};
    for (int n = 1; n <= kTableCount; ++n) {
        SCOPED_TRACE(n);
        const Box& box = expected[n - 1];
        EXPECT_EQ(page.tableBox(n)->text(), QString::fromUtf8(box.title));
        EXPECT_EQ(page.tableBox(n)->isChecked(), box.checked);
        EXPECT_EQ(page.tableBox(n)->isHidden(), !box.shown);
    }

    QTreeWidget* list = page.list();
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("编号"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("PDA地址"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("状态"));
    EXPECT_EQ(list->columnWidth(0), 38);
    EXPECT_EQ(list->columnWidth(1), 80);
    EXPECT_EQ(list->columnWidth(2), 220);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("3"));
    EXPECT_EQ(list->topLevelItem(2)->text(1), QStringLiteral("44556A"));
    EXPECT_EQ(root()->text(0), QStringLiteral("/dev/pts/91"));
    EXPECT_EQ(root()->childCount(), 3);
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(DownloadPageTest, TreeSetsMarksAndCountsCheckedHandhelds) {
    tick(child(1), true);
    EXPECT_EQ(mark(1), kDownloadMark);
    EXPECT_EQ(mark(0), 0);
    EXPECT_EQ(page.checkedHandhelds(), 1);
    EXPECT_EQ(root()->checkState(0), Qt::Unchecked);

    tick(root(), true);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(child(i)->checkState(0), Qt::Checked);
        EXPECT_EQ(mark(i), kDownloadMark);
    }
    EXPECT_EQ(mark(3), 0);  // past the station's last handheld
    EXPECT_EQ(page.checkedHandhelds(), 3);

    // Unticking one child leaves the others ticked and counted.
    tick(child(2), false);
    EXPECT_EQ(mark(2), 0);
    EXPECT_EQ(root()->checkState(0), Qt::Unchecked);
    EXPECT_EQ(child(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(mark(0), kDownloadMark);
    EXPECT_EQ(page.checkedHandhelds(), 2);
    EXPECT_EQ(press().find("message:"), std::string::npos);
    EXPECT_TRUE(page.downloading());
    page.downloadButton()->click();

    tick(root(), true);
    tick(root(), false);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(child(i)->checkState(0), Qt::Unchecked);
        EXPECT_EQ(mark(i), 0);
    }
    EXPECT_EQ(page.checkedHandhelds(), 0);

    // Marks set earlier are shown when the station is shown again.
    row[1].mark = kDownloadMark;
    page.showHandhelds(QStringLiteral("/dev/pts/91"), {"0a0b0c", "112233", "44556A"}, &row);
    EXPECT_EQ(child(1)->checkState(0), Qt::Checked);
    EXPECT_EQ(page.checkedHandhelds(), 1);
}

TEST_F(DownloadPageTest, MissingHandheldOrTableIsRefusedAndChangesNothing) {
    struct Case {
        bool handheld;
        bool tables;
        const char* message;
    };
    const Case cases[] = {
        {false, true, "message: 选择下载的点菜机: 请选择要下载的点菜机"},
        {false, false, "message: 选择下载的点菜机: 请选择要下载的点菜机"},
        {true, false, "message: 选择更新的表: 请选择要下载更新的表"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        tick(child(0), c.handheld);
        for (int n = 1; n <= kTableCount; ++n) {
            page.tableBox(n)->setChecked(c.tables && n == 4);
        }
        tables[0] = 9;
        EXPECT_NE(press().find(c.message), std::string::npos);
        EXPECT_EQ(page.downloadButton()->text(), QStringLiteral("下载"));
        EXPECT_FALSE(page.downloading());
        EXPECT_TRUE(page.tree()->isEnabled());
        EXPECT_EQ(mode.load(), 0);
        EXPECT_EQ(tables[0].load(), 9);
        EXPECT_EQ(state(0), QString());
    }
}

TEST_F(DownloadPageTest, DownloadAndStopKeepTheMarksForTheNextDownload) {
    tick(child(0), true);
    tick(child(2), true);
    page.tableBox(2)->setChecked(false);

    EXPECT_EQ(press(), "");
    EXPECT_EQ(page.downloadButton()->text(), QStringLiteral("停止下载"));
    EXPECT_FALSE(page.tree()->isEnabled());
    EXPECT_FALSE(page.portBox()->isEnabled());
    for (int n = 1; n <= kTableCount; ++n) {
        EXPECT_FALSE(page.tableBox(n)->isEnabled());
    }
    EXPECT_EQ(mode.load(), 1);
    EXPECT_EQ(chosenTables(), (std::vector<int>{1, 0, 3, 4, 5, 6, 7, 8, 9, 10, 0, 12, 0}));
    EXPECT_EQ(count.load(), 10);
    EXPECT_EQ(state(0), QStringLiteral("准备更新..."));
    EXPECT_EQ(state(1), QString());
    EXPECT_EQ(state(2), QStringLiteral("准备更新..."));

    // Progress rows: the first row with the address; the label is lower case.
    page.showProgress(toGbk(QStringLiteral("44556a,下载表 1... 正在下载2包")));
    EXPECT_EQ(state(2), QStringLiteral("下载表 1... 正在下载2包"));
    for (const char* ignored : {"4,x", ",x", "445566", "998877,下载完成!"}) {
        page.showProgress(ignored);
    }
    EXPECT_EQ(state(0), QStringLiteral("准备更新..."));
    EXPECT_EQ(state(2), QStringLiteral("下载表 1... 正在下载2包"));
    page.showProgress(toGbk(QStringLiteral("0a0b0c,下载完成!,")));
    EXPECT_EQ(state(0), QStringLiteral("下载完成!,"));

    EXPECT_EQ(press(), "");
    EXPECT_EQ(page.downloadButton()->text(), QStringLiteral("下载"));
    EXPECT_TRUE(page.tree()->isEnabled());
    EXPECT_TRUE(page.portBox()->isEnabled());
    EXPECT_TRUE(page.tableBox(1)->isEnabled());
    EXPECT_EQ(mode.load(), 0);
    EXPECT_EQ(state(0), QStringLiteral("用户取消"));
    EXPECT_EQ(state(1), QString());
    EXPECT_EQ(state(2), QStringLiteral("用户取消"));
    EXPECT_EQ(mark(0), kDownloadMark);
    EXPECT_EQ(mark(1), 0);
    EXPECT_EQ(mark(2), kDownloadMark);
    EXPECT_EQ(child(2)->checkState(0), Qt::Checked);

    EXPECT_EQ(press(), "");
    EXPECT_EQ(mode.load(), 1);
    EXPECT_EQ(state(0), QStringLiteral("准备更新..."));
    EXPECT_EQ(state(2), QStringLiteral("准备更新..."));
}

TEST(DownloadEndToEnd, UpdateAskedByAHandheldAndManualDownloadChosenOnThePage) {
    ::padlink::testing::TestFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const auto txt = folder.path() / "TXT";
    const auto received = folder.path() / "received";
    std::filesystem::create_directories(received);

    basestation::BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.setTablesFolder(received);
    // Asks for the tables on download polls; once wants packet 1 again.
    basestation::HandheldScript manual;
    manual.address = {0x0c, 0x0b, 0x0a};
    manual.mode = basestation::ReplyMode::manualDownload;
    basestation::DownloadScript repeats;
    repeats.peer.repeatPacket = 1;
    sim.addHandheld(manual, repeats);
    // Holds versions that differ from the bridge's for tables 1 and 6 only,
    // and loses one status on the way.
    basestation::HandheldScript update;
    update.address = {0x33, 0x22, 0x11};
    update.mode = basestation::ReplyMode::updateDownload;
    update.every = 3;
    basestation::DownloadScript losesOne;
    losesOne.maxDownloads = 1;
    losesOne.peer.dropStatusAt = 2;
    losesOne.peer.versionRows = {{1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2}, {0xFF, 6, 1, 1, 1, 1, 1},
                                   {12, 1, 1, 1, 1, 1, 1}};
    sim.addHandheld(update, losesOne);
    sim.start();
    // The simulator answers only after the bridge's purge, however slow this machine is.
    auto afterPurge = sim.afterPurgeHook();

    testing::writeTxtFolder(folder.path(), "轮循间隔:5\n读取超时:10\n读取时间间隔:5",
                            sim.slavePath() + ",001\n", "1,0a0b0c\n1,112233\n");
    QString dishes;
    for (int i = 1; i <= 120; ++i) {
        dishes += QStringLiteral("%1,%2,3,红烧 %1,招牌\t菜 %1,%3,1\n").arg(i).arg(i % 7).arg(1000 + i);
    }
    writeTable(txt, 1, dishes);
    writeTable(txt, 6, QStringLiteral("1,大厅 01,1,4,2,12.5\n2,包间 02,2,10,1,1.15\n"));
    writeTable(txt, 12, QStringLiteral("1,一楼\n2,二楼\n"));
    writeTable(txt, 2, QStringLiteral("1,热菜\n"));
    {
        std::ofstream versions(txt / "数据库版本.txt", std::ios::binary);
        versions << "1,1,1,1,1,1,2\r\n2,2,2,2,2,2,2\r\n6,1,1,1,1,1,1\r\n12,1,1,1,1,1,1\r\n";
    }

    HandheldTable table;
    std::atomic<int> stop{0};
    std::atomic<int> mode{0};
    StationFlags selected{};
    StationFlags display{};
    TableChoice tables{};
    std::atomic<int> count{0};
    const ManualChoice choice{tables, count};
    UnansweredRequests requests;
    DialogDownloadHost window;
    PollDownloads downloads(window, DownloadFlags{stop, mode, selected, display, choice});
    BridgeSetup setup{LinkState{table, stop, mode, selected, display}, folder.path(),
                      std::nullopt, "Padlink", &requests, &downloads, choice};
    setup.afterPurge = afterPurge;
    MainDialog dialog(std::move(setup));
    window.attach(dialog.downloadHost());
    ASSERT_EQ(dialog.stationCount(), 1);

    const auto updated = [&](int n) { return received / basestation::receivedTableName("112233", false, n); };
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(updated(1)) && std::filesystem::exists(updated(6)); },
                          std::chrono::seconds(20)));
    expectSameRecords(updated(1), txt, 1);
    expectSameRecords(updated(6), txt, 6);
    EXPECT_FALSE(std::filesystem::exists(updated(12)));

    DownloadPage* page = dialog.downloadPage();
    page->tree()->topLevelItem(0)->child(0)->setCheckState(0, Qt::Checked);
    for (int n = 1; n <= kTableCount; ++n) {
        page->tableBox(n)->setChecked(n == 1 || n == 6 || n == 12);
    }
    page->downloadButton()->click();
    QTreeWidgetItem* row = page->list()->topLevelItem(0);
    ASSERT_TRUE(waitUntil([&] { return row->text(2) == QStringLiteral("下载完成!"); }, std::chrono::seconds(15)))
        << row->text(2).toStdString();
    const auto manualTable = [&](int n) { return received / basestation::receivedTableName("0a0b0c", true, n); };
    for (int n : {1, 6, 12}) {
        ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(manualTable(n)); }, std::chrono::seconds(2))) << n;
        expectSameRecords(manualTable(n), txt, n);
    }
    EXPECT_EQ(page->list()->topLevelItem(1)->text(2), QString());

    page->downloadButton()->click();
    EXPECT_EQ(row->text(2), QStringLiteral("用户取消"));
    EXPECT_EQ(mode.load(), 0);
    EXPECT_EQ(sim.downloadsStarted(), 2);
    dialog.shutDown();
    window.detach();
}

}  // namespace
}  // namespace padlink
