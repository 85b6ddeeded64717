// The seam to the poll thread: a real poll thread on a pseudo-terminal polls
// a marked handheld in download mode, hands its request to the manual
// download, and the handheld ends up with the table.
#include "download/poll_downloads.h"

#include "config/test_folder.h"
#include "config/text_file.h"
#include "download/download_texts.h"
#include "download/handheld_peer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace padlink {
namespace {

class WindowSide final : public PollHost, public DownloadHost {
public:
    void postDisplayLine(std::string_view) override {}
    void showMessage(std::string_view text) override { record(std::string(text)); }
    void showMessage(const Notice& notice) override { record(notice.text); }
    void postDownloadProgress(std::string_view text) override { record(std::string(text)); }

    bool waitFor(const std::string& text) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            return std::find(seen_.begin(), seen_.end(), text) != seen_.end();
        });
    }

private:
    void record(std::string text) {
        std::lock_guard lock(mutex_);
        seen_.push_back(std::move(text));
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> seen_;
};

TEST(PollDownloads, PollThreadServesAManualDownload) {
    testing::TestFolder folder;
    std::string dishes;
    for (int i = 1; i <= 100; ++i) {
        dishes += std::to_string(i) + ",1,1,D,Dish,100,1\n";
    }
    ASSERT_TRUE(writeTextFile(folder.path() / tableFile(1)->fileName, dishes));

    HandheldTable table;
    HandheldEntry& entry = table.rows[0][0];
    entry.addressLow = 0x21;
    entry.addressMiddle = 0x43;
    entry.addressHigh = 0x65;
    entry.mark = kDownloadMark;
    std::atomic<int> stop{0};
    std::atomic<int> mode{1};
    StationFlags selected{};
    StationFlags shown{};
    selected[0] = 1;
    TableChoice tables{};
    std::atomic<int> count{0};
    const bool boxes[kTableCount] = {true};
    takeChoice({tables, count}, std::span<const bool, kTableCount>(boxes));

    handheld::PeerScript script;
    script.answerLastEnd = true;  // spares the closing read its full time-out
    handheld::PtyHandheld peer(script);
    ASSERT_TRUE(peer.ok());
    peer.setReplyDelay(std::chrono::milliseconds(10));
    peer.start();

    WindowSide window;
    UnansweredRequests requests;
    PollDownloads downloads(window, {stop, mode, selected, shown, {tables, count}});
    auto params = std::make_unique<PollThreadParams>();
    params->handheldCount = 1;
    params->portName = peer.slavePath();
    params->folder = folder.path();
    params->pollInterval = 10;
    params->readTimeout = 30;  // the default: the reply to a poll needs its 35 ms
    const PollServices services{{table, stop, mode, selected, shown}, &window, &requests,
                                &downloads, {}};
    std::thread poller([&] { runPollThread(std::move(params), services); });

    const bool done = window.waitFor("654321," + std::string(gbk::kDownloadDone));
    stop = 1;
    poller.join();
    peer.stop();
    ASSERT_TRUE(done);
    const auto received = peer.tables();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0].complete());
    EXPECT_EQ(received[0].records().size(), 100u * 50);
}

}  // namespace
}  // namespace padlink
