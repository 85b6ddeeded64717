// The main dialog in-process on the offscreen platform: a station on the
// simulator's pseudo-terminal, notices over the real window socket.
#include "app/main_dialog.h"

#include "app/line_watch.h"
#include "app/pages.h"
#include "app/test_support.h"
#include "base_station_sim.h"
#include "commands/dispatch.h"
#include "config/test_folder.h"
#include "link/link_session.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <future>

namespace padlink {
namespace {

using testing::waitUntil;

TEST(MonitorPage, EmptiesAfterTwoHundredLinesAndShowsUpperCase) {
    bool on = true;
    MonitorPage page([&] { return on = !on; });
    for (int n = 1; n <= MonitorPage::kLineLimit; ++n) {
        page.appendLine(QStringLiteral("tx:%1 ef\r\n").arg(n));
    }
    EXPECT_EQ(page.text().count(QLatin1Char('\n')), 200);
    EXPECT_TRUE(page.text().startsWith(QStringLiteral("TX:1 EF\n")));
    page.appendLine(QStringLiteral("RX:\r\n"));
    EXPECT_EQ(page.text(), QStringLiteral("RX:\n"));

    EXPECT_EQ(page.displayButton()->text(), QStringLiteral("停止显示"));
    page.displayButton()->click();
    EXPECT_EQ(page.displayButton()->text(), QStringLiteral("显示数据"));
    page.displayButton()->click();
    EXPECT_EQ(page.displayButton()->text(), QStringLiteral("停止显示"));
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        ASSERT_TRUE(sim.ok());
        sim.start();
    }
    std::unique_ptr<MainDialog> makeDialog(std::optional<WindowHandle> front = std::nullopt,
                                           RequestHandler* handler = nullptr,
                                           std::function<std::optional<bool>()> line = {}) {
        return std::make_unique<MainDialog>(BridgeSetup{state, folder.path(), front, "Padlink",
                                                        handler != nullptr ? handler : &requests,
                                                        &downloads, globalManualChoice(), line});
    }

    PADLINK_TEST_GUARD(120);
    ::padlink::testing::TestFolder folder;
    basestation::BaseStationSim sim;
    HandheldTable table;
    std::atomic<int> stop{0};
    std::atomic<int> download{0};
    StationFlags selected{};
    StationFlags display{};
    LinkState state{table, stop, download, selected, display};
    UnansweredRequests requests;
    UnservedDownloads downloads;
};

TEST_F(MainDialogTest, StationTrafficShowsLiveOnTheMonitorPage) {
    testing::writeTxtFolder(folder.path(), "轮循间隔:5\n读取超时:10\n读取时间间隔:5",
                            sim.slavePath() + ",001\n", "1,0a0b0c\n1,112233\n");
    auto dialog = makeDialog();
    EXPECT_EQ(dialog->stationCount(), 1);
    EXPECT_EQ(dialog->tabs()->count(), 3);
    EXPECT_EQ(dialog->tabs()->tabText(0), QStringLiteral("系统监控"));
    EXPECT_EQ(dialog->tabs()->tabText(1), QStringLiteral("下载"));
    EXPECT_EQ(dialog->tabs()->tabText(2), QStringLiteral("关于"));
    EXPECT_EQ(dialog->downloadPage()->portBox()->currentText(), QString::fromStdString(sim.slavePath()));
    QTreeWidgetItem* root = dialog->downloadPage()->tree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("0a0b0c"));
    EXPECT_EQ(selected[0].load(), 1);
    EXPECT_EQ(display[0].load(), 1);

    MonitorPage* monitor = dialog->monitorPage();
    ASSERT_TRUE(waitUntil([&] {
        return monitor->text().contains(QStringLiteral("TX:0C 0B 0A 0A EF 7B CD \nRX:\nTX:33 22 11"));
    })) << monitor->text().toStdString();

    // Display off: the station keeps polling, the page takes no more lines.
    dialog->monitorPage()->displayButton()->click();
    EXPECT_EQ(display[0].load(), 0);
    EXPECT_EQ(dialog->monitorPage()->displayButton()->text(), QStringLiteral("显示数据"));
    dialog->shutDown();
    EXPECT_EQ(stop.load(), 1);
}

TEST_F(MainDialogTest, MissingConfigurationStartsNoStation) {
    auto dialog = makeDialog();
    EXPECT_EQ(dialog->stationCount(), 0);
    EXPECT_TRUE(sim.polls().empty());
    EXPECT_FALSE(dialog->ended());
}

// Sends a notice from another thread, as the front end does, and pumps the
// dialog's events until it has been handled.
bool notify(const char* text) {
    auto sent = std::async(std::launch::async, [text] {
        const auto window = findWindow("Padlink");
        return window && sendCopyData(*window, 0, text).has_value();
    });
    if (!waitUntil([&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; })) {
        return false;
    }
    return sent.get();
}

TEST_F(MainDialogTest, NoticesShowAndEndTheDialogAndOthersDoNothing) {
    testing::writeTxtFolder(folder.path(), "轮循间隔:5", sim.slavePath() + ",1\n", "1,0a0b0c\n");
    auto dialog = makeDialog();
    dialog->show();
    dialog->hideToTray();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_NE(dialog->trayIcon(), nullptr);
    EXPECT_EQ(dialog->trayIcon()->toolTip(), QStringLiteral("Padlink"));

    for (const char* ignored : {"tc", "xs", "TCX", ""}) {
        ASSERT_TRUE(notify(ignored)) << ignored;
        EXPECT_FALSE(dialog->ended()) << ignored;
        EXPECT_FALSE(dialog->isVisible()) << ignored;
    }
    ASSERT_TRUE(notify("XS"));
    EXPECT_TRUE(dialog->isVisible());
    dialog->hideToTray();
    ASSERT_TRUE(notify("TC"));  // hidden, and still it ends
    EXPECT_TRUE(dialog->ended());
    EXPECT_EQ(stop.load(), 1);
    dialog->shutDown();
}

// A front end that reacts to a notice by sending the bridge a notice of its
// own while it handles it, as a front end does that stops the bridge when
// the line is dead. It answers with `replies` in turn.
class ReactingFrontEnd {
  public:
    ReactingFrontEnd(std::string notice, std::vector<std::string> replies)
        : notice_(std::move(notice)),
          replies_(std::move(replies)),
          window_("FrontEnd", [this](const WindowMessage& message) {
              if (message.text() != notice_) {
                  return 1u;
              }
              std::string reply;
              {
                  const std::lock_guard lock(mutex_);
                  ++received_;
                  lastStation_ = message.dwData;
                  if (!replies_.empty()) {
                      reply = replies_.front();
                      replies_.erase(replies_.begin());
                  }
              }
              if (!reply.empty()) {
                  const auto bridge = findWindow("Padlink");
                  if (bridge) {
                      sendCopyData(*bridge, 0, reply);
                  }
              }
              const std::lock_guard lock(mutex_);
              ++handled_;
              return 1u;
          }) {}

    std::optional<WindowHandle> window() const { return findWindow("FrontEnd"); }
    int received() const {
        const std::lock_guard lock(mutex_);
        return received_;
    }
    int handled() const {
        const std::lock_guard lock(mutex_);
        return handled_;
    }
    std::uint32_t lastStation() const {
        const std::lock_guard lock(mutex_);
        return lastStation_;
    }

  private:
    std::string notice_;
    mutable std::mutex mutex_;
    std::vector<std::string> replies_;
    int received_ = 0;
    int handled_ = 0;
    std::uint32_t lastStation_ = 0;
    WindowServer window_;
};

// The line watch's "COMFL" answered with "XS" and then with "TC": no send may
// keep the bridge from handling the notice that comes back.
TEST_F(MainDialogTest, FrontEndThatAnswersComflWithANoticeIsHeard) {
    testing::writeTxtFolder(folder.path(), "轮循间隔:5\n读取超时:10\n读取时间间隔:5",
                            sim.slavePath() + ",3\n", "3,0a0b0c\n");
    ReactingFrontEnd front("COMFL", {"XS", "TC"});
    ASSERT_TRUE(front.window().has_value());
    auto dialog = makeDialog(front.window(), nullptr, [] { return std::optional<bool>(false); });
    dialog->hideToTray();
    // The notice names the session created last: the station's thread has one
    // once it polls.
    ASSERT_TRUE(
        sim.waitFor([](const auto& polls) { return !polls.empty(); }, std::chrono::seconds(10)));

    dialog->watchLine();
    ASSERT_TRUE(waitUntil([&] { return dialog->isVisible() && front.handled() == 1; }));
    EXPECT_EQ(front.lastStation(), 3u);
    // The shown station's poll thread goes on past its display lines.
    const std::size_t polls = sim.pollCount();
    ASSERT_TRUE(waitUntil([&] { return sim.pollCount() > polls + 2; }));

    // The next tick's "COMFL" once the first has returned; TC ends the bridge.
    ASSERT_TRUE(waitUntil([&] {
        if (front.received() < 2) {
            dialog->watchLine();
        }
        return dialog->ended();
    }));
    EXPECT_EQ(stop.load(), 1);
    EXPECT_TRUE(dialog->shutDown());
}

// A request's notice answered with "XS" and then with "TC" while the poll
// thread waits for the front end.
TEST_F(MainDialogTest, FrontEndThatAnswersARequestWithANoticeIsHeard) {
    sim.stop();
    basestation::BaseStationSim requesting;
    ASSERT_TRUE(requesting.ok());
    requesting.addHandheld(
        basestation::HandheldScript{{0x0c, 0x0b, 0x0a}, basestation::ReplyMode::frames, {}, 3});
    requesting.start();
    testing::writeTxtFolder(folder.path(), "轮循间隔:5\n读取超时:10\n读取时间间隔:5",
                            requesting.slavePath() + ",4\n", "4,0a0b0c\n");
    ReactingFrontEnd front("LD", {"XS", "TC"});
    ASSERT_TRUE(front.window().has_value());
    CommandLayer commands(0, front.window(), {});
    auto dialog = makeDialog(front.window(), &commands);
    dialog->hideToTray();

    ASSERT_TRUE(waitUntil([&] { return dialog->isVisible() && front.handled() >= 1; }));
    EXPECT_EQ(front.lastStation(), 4u);
    ASSERT_TRUE(waitUntil([&] { return dialog->ended(); }));
    EXPECT_EQ(front.received(), 2);
    EXPECT_TRUE(dialog->shutDown());
}

TEST(LineWatch, LowDsrSendsComflWithTheLastSessionId) {
    std::mutex lock;
    std::vector<WindowMessage> received;
    WindowServer front("FrontEnd", [&](const WindowMessage& message) {
        const std::lock_guard guard(lock);
        received.push_back(message);
        return 1u;
    });
    const auto window = findWindow("FrontEnd");
    ASSERT_TRUE(window.has_value());
    LinkSession session("/tmp", 7);  // the session created last names the station
    std::optional<bool> dsr;
    LineWatch watch([&] { return dsr; },
                    [&](std::uint32_t dwData, std::string_view text) {
                        sendCopyData(*window, dwData, text);
                    });
    for (std::optional<bool> line : {std::optional<bool>{}, std::optional<bool>{true},
                                     std::optional<bool>{false}, std::optional<bool>{false}}) {
        dsr = line;
        watch.tick();
    }
    const std::lock_guard guard(lock);
    ASSERT_EQ(received.size(), 2u);
    for (const auto& message : received) {
        EXPECT_EQ(message.text(), "COMFL");
        EXPECT_EQ(message.dwData, 7u);
    }
}

}  // namespace
}  // namespace padlink
