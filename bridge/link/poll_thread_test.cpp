// The poll cycle on a real pseudo-terminal with the base-station simulator at
// the far end. The command layer and the download procedures are later work;
// here they are recorders that show what the cycle hands them.
#include "link/poll_thread.h"

#include "base_station_sim.h"
#include "config/hang_guard.h"
#include "config/test_folder.h"
#include "link/result_codes.h"
#include "logs/program_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

namespace padlink {
namespace {

using basestation::BaseStationSim;
using basestation::Bytes;
using basestation::HandheldScript;
using basestation::ReplyMode;
using std::chrono::seconds;

const std::string kNoHandhelds{
    "\xb5\xe3\xb2\xcb\xbb\xfa\xcf\xc2\xd4\xd8\xca\xfd\xc1\xbf\xce\xaa\x30\xa3\xac\xc7\xeb\xd6\xd8"
    "\xc6\xf4\xc8\xed\xbc\xfe\xb4\xd3\xd0\xc2\xcf\xc2\xd4\xd8"};
const std::string kIndexBeyondCount{
    "\xb5\xe3\xb2\xcb\xbb\xfa\xca\xfd\xc1\xbf\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xac\xb2\xbb\xd3\xa6\xb8"
    "\xc3\xb4\xf3\xd3\xda\xd7\xdc\xcc\xe5\xb5\xc4\xca\xfd\xc1\xbf\xa3\xa1"};
const std::string kOpenFailedText{"\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc\xa3\xa1"};

class RecordingHost final : public PollHost {
public:
    void postDisplayLine(std::string_view text) override {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(text);
        changed_.notify_all();
    }
    void showMessage(std::string_view text) override {
        const std::lock_guard lock(mutex_);
        messages_.emplace_back(text);
        changed_.notify_all();
    }
    std::vector<std::string> lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> messages() const {
        const std::lock_guard lock(mutex_);
        return messages_;
    }
    bool waitForMessages(std::size_t count) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, seconds(10), [&] { return messages_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::vector<std::string> messages_;
};

// Answers every request with a 20-byte frame built in place, as the command
// layer will.
class RecordingRequests final : public RequestHandler {
public:
    std::size_t dispatchRequest(FrameBuffer buffer, LinkSession& session) override {
        const std::lock_guard lock(mutex);
        requests.emplace_back(buffer.begin(), buffer.begin() + 12);
        dataAreaWasClear.push_back(session.requestArea(64)[0] == 0);
        session.requestArea(64)[0] = 0x77;  // the next answer must start from zeros
        buffer[0] = 1;
        buffer[3] = 8;
        sealFrame(buffer, 20);
        return 20;
    }
    std::mutex mutex;
    std::vector<Bytes> requests;
    std::vector<bool> dataAreaWasClear;
};

class RecordingDownloads final : public DownloadHandler {
public:
    int manualDownload(SerialPort&, FrameBuffer, LinkSession&, int, const std::string& label) override {
        const std::lock_guard lock(mutex);
        manual.push_back(label);
        return 0;
    }
    int versionDownload(SerialPort&, FrameBuffer, LinkSession&, int, const std::string& label) override {
        const std::lock_guard lock(mutex);
        version.push_back(label);
        return 1;
    }
    std::mutex mutex;
    std::vector<std::string> manual;
    std::vector<std::string> version;
};

std::array<std::uint8_t, 7> poll(std::uint8_t low, std::uint8_t middle, std::uint8_t high,
                                 std::uint8_t kind) {
    return {low, middle, high, kind, 0xef, 0x7b, 0xcd};
}

class PollCycle : public ::testing::Test {
protected:
    LinkState state{table, stop, download, selected, display};

    void SetUp() override { ASSERT_FALSE(folder.path().empty()); }
    void TearDown() override { stopAll(); }

    // Puts handhelds (six hex digits each) into row `station`.
    void configure(int station, std::initializer_list<const char*> addresses) {
        int j = 0;
        for (const char* text : addresses) {
            const auto address = basestation::parseAddress(text);
            ASSERT_TRUE(address.has_value());
            HandheldEntry& entry =
                table.rows[static_cast<std::size_t>(station)][static_cast<std::size_t>(j++)];
            entry.addressLow = (*address)[0];
            entry.addressMiddle = (*address)[1];
            entry.addressHigh = (*address)[2];
        }
    }

    std::future<int> startThread(BaseStationSim* sim, int station, int count, PollHost& host,
                                 std::string port = {}, int pollInterval = 5,
                                 const std::function<void(PollServices&)>& adjust = {}) {
        auto params = std::make_unique<PollThreadParams>();
        params->handheldCount = count;
        params->portName = sim != nullptr ? sim->slavePath() : port;
        params->folder = folder.path();
        params->stationIndex = station;
        params->stationId = station + 1;
        params->pollInterval = pollInterval;
        params->readTimeout = 30;
        params->readInterval = 5;
        services.push_back(std::make_unique<PollServices>(
            PollServices{state, &host, &requests, &downloads, {}}));
        // Exact display lines and counts: the simulator's reply goes once the
        // bridge's purge is done, however loaded the machine is.
        if (sim != nullptr) {
            services.back()->afterPurge = sim->afterPurgeHook();
        }
        if (adjust) {
            adjust(*services.back());
        }
        const PollServices* own = services.back().get();
        return std::async(std::launch::async, [own, p = std::move(params)]() mutable {
            return runPollThread(std::move(p), *own);
        });
    }

    void stopAll() { stop = 1; }

    PADLINK_TEST_GUARD(120);
    testing::TestFolder folder;
    HandheldTable table;
    std::atomic<int> stop{0};
    std::atomic<int> download{0};
    StationFlags selected{};
    StationFlags display{};
    RecordingRequests requests;
    RecordingDownloads downloads;
    std::vector<std::unique_ptr<PollServices>> services;
};

TEST_F(PollCycle, PollsEachHandheldInOrderAndWrapsWithDisplayLines) {
    BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.start();
    configure(0, {"0a0b0c", "112233", "445566"});
    selected[0] = 1;
    display[0] = 1;
    RecordingHost host;
    auto thread = startThread(&sim, 0, 3, host);
    ASSERT_TRUE(sim.waitFor([](const auto& polls) { return polls.size() >= 7; }, seconds(10)));
    stopAll();
    EXPECT_EQ(thread.get(), kPollStopped);

    const auto polls = sim.polls();
    const std::array<std::array<std::uint8_t, 7>, 3> round{
        poll(0x0c, 0x0b, 0x0a, 0x0a), poll(0x33, 0x22, 0x11, 0x0a), poll(0x66, 0x55, 0x44, 0x0a)};
    for (std::size_t k = 0; k < polls.size(); ++k) {
        EXPECT_EQ(polls[k].bytes, round[k % 3]) << "poll " << k;
    }
    // Silent handhelds: each poll shows its TX line and a lone RX:.
    const auto lines = host.lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "TX:0c 0b 0a 0a ef 7b cd \r\n");
    EXPECT_EQ(lines[1], "RX:\r\n");
    EXPECT_EQ(lines[2], "TX:33 22 11 0a ef 7b cd \r\n");
    EXPECT_EQ(lines[3], "RX:\r\n");
    EXPECT_TRUE(host.messages().empty());
}

TEST_F(PollCycle, DownloadModePollsOnlyMarkedEntriesOfTheSelectedStation) {
    BaseStationSim selectedSim;
    BaseStationSim otherSim;
    ASSERT_TRUE(selectedSim.ok() && otherSim.ok());
    selectedSim.start();
    otherSim.start();
    configure(0, {"0a0b0c", "112233", "445566"});
    configure(1, {"778899"});
    table.rows[0][1].mark = kDownloadMark;
    selected[0] = 1;
    download = 1;
    RecordingHost host0;
    RecordingHost host1;
    auto thread0 = startThread(&selectedSim, 0, 3, host0);
    auto thread1 = startThread(&otherSim, 1, 1, host1);
    ASSERT_TRUE(selectedSim.waitFor([](const auto& p) { return p.size() >= 4; }, seconds(10)));
    ASSERT_TRUE(otherSim.waitFor([](const auto& p) { return p.size() >= 4; }, seconds(10)));
    for (const auto& p : selectedSim.polls()) {
        EXPECT_EQ(p.bytes, poll(0x33, 0x22, 0x11, 0x0c));
    }
    for (const auto& p : otherSim.polls()) {
        EXPECT_EQ(p.bytes, poll(0x99, 0x88, 0x77, 0x0a));
    }

    // No marked entry: the selected station falls silent while the other goes on.
    table.rows[0][1].mark = 0;
    ASSERT_TRUE(selectedSim.waitFor([](const auto&) { return true; }, seconds(1)));
    const std::size_t silentFrom = selectedSim.pollCount();
    const std::size_t otherFrom = otherSim.pollCount();
    ASSERT_TRUE(otherSim.waitFor(
        [&](const auto& p) { return p.size() >= otherFrom + 5; }, seconds(10)));
    EXPECT_LE(selectedSim.pollCount(), silentFrom + 1);  // one poll may have been on its way

    // The mode ends: normal polls of every entry again.
    download = 0;
    ASSERT_TRUE(selectedSim.waitFor(
        [&](const auto& p) {
            return p.size() >= silentFrom + 4 && p.back().bytes[3] == 0x0a;
        },
        seconds(10)));
    stopAll();
    EXPECT_EQ(thread0.get(), kPollStopped);
    EXPECT_EQ(thread1.get(), kPollStopped);
}

TEST_F(PollCycle, RepliesGoToTheRightPlaceOrNowhere) {
    BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    auto frameFor = [](std::uint8_t low, std::uint8_t command) {
        return basestation::requestFrame(low, command, Bytes(33, 0x21));
    };
    Bytes readyFrame = frameFor(0x04, 0x31);
    readyFrame[3] = 4;  // "ready for the next packet" is no reply to a poll
    struct Case {
        const char* address;
        ReplyMode mode;
        std::vector<Bytes> frames;
    };
    const Case cases[] = {
        {"000001", ReplyMode::frames, {frameFor(0x01, 0x31)}},  // a request: answered
        {"000002", ReplyMode::badCrc, {frameFor(0x02, 0x31)}},  // rejected
        {"000003", ReplyMode::garbage, {}},                     // rejected
        {"000004", ReplyMode::frames, {readyFrame}},            // dropped
        {"000005", ReplyMode::frames, {frameFor(0x05, 0x81)}},  // manual download, mode off
        {"000006", ReplyMode::frames, {frameFor(0x06, 0x82)}},  // update: in any mode
    };
    for (const Case& c : cases) {
        sim.addHandheld(HandheldScript{*basestation::parseAddress(c.address), c.mode, c.frames, 1});
    }
    sim.start();
    configure(0, {"000001", "000002", "000003", "000004", "000005", "000006"});
    selected[0] = 1;
    display[0] = 1;
    RecordingHost host;
    auto thread = startThread(&sim, 0, 6, host);
    ASSERT_TRUE(sim.waitFor([](const auto& p) { return p.size() >= 13; }, seconds(20)));
    stopAll();
    EXPECT_EQ(thread.get(), kPollStopped);

    {
        const std::lock_guard lock(requests.mutex);
        ASSERT_GE(requests.requests.size(), 2u);
        for (const Bytes& header : requests.requests) {
            EXPECT_EQ(header[2], 0x01);
            EXPECT_EQ(header[7], 0x31);
        }
        for (bool clear : requests.dataAreaWasClear) {
            EXPECT_TRUE(clear);
        }
        // Each answer went out on the line, whole.
        const auto sent = sim.framesReceived();
        ASSERT_GE(sent.size(), requests.requests.size() - 1);
        EXPECT_EQ(sent.front().size(), 20u);
        EXPECT_EQ(sent.front()[3], 8);
    }
    {
        const std::lock_guard lock(downloads.mutex);
        EXPECT_TRUE(downloads.manual.empty());
        ASSERT_FALSE(downloads.version.empty());
        EXPECT_EQ(downloads.version.front(), "000006");
    }

    // Display: the request, the answer and the rejected replies of round one.
    const auto lines = host.lines();
    const std::string request = hexBytes(frameFor(0x01, 0x31)) + "\r\n";
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[0], "TX:01 00 00 0a ef 7b cd \r\n");
    EXPECT_EQ(lines[1], request);
    EXPECT_EQ(lines[2].substr(0, 24), "01 00 01 08 01 00 14 31 ");  // the answer, no prefix
    EXPECT_EQ(lines[4], "RX:\r\n");  // bad checksum
    EXPECT_EQ(lines[6], "RX:\r\n");  // garbage
    EXPECT_EQ(lines[8], "\r\n");     // dropped: a good read that delivers nothing
}

// The stop flag ends a thread in the middle of a long pause between polls.
TEST_F(PollCycle, StopEndsAPauseBetweenPolls) {
    BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.start();
    configure(0, {"0a0b0c"});
    RecordingHost host;
    auto thread = startThread(&sim, 0, 1, host, {}, 20'000);
    ASSERT_TRUE(sim.waitFor([](const auto& p) { return !p.empty(); }, seconds(10)));
    stopAll();
    ASSERT_EQ(thread.wait_for(seconds(5)), std::future_status::ready) << "still pausing";
    EXPECT_EQ(thread.get(), kPollStopped);
}

// A USB adapter pulled and plugged in again: the port name is a link to the
// simulator's pseudo-terminal; pulling closes the far end and removes the
// link, plugging in makes a new far end behind the same name.
TEST_F(PollCycle, PortThatGoesAndComesBackIsToldOnceAndOpenedAgain) {
    const auto port = folder.path() / "ttyUSB0";
    const auto log = folder.path() / "debug.log";
    setLogFile(log.string());
    auto first = std::make_unique<BaseStationSim>();
    ASSERT_TRUE(first->ok());
    first->start();
    std::filesystem::create_symlink(first->slavePath(), port);
    configure(0, {"0a0b0c"});
    std::mutex noticeMutex;
    std::vector<std::pair<std::uint32_t, std::string>> notices;
    RecordingHost host;
    auto thread = startThread(nullptr, 0, 1, host, port.string(), 5, [&](PollServices& own) {
        own.reopenIntervalMs = 200;
        own.notifyFrontEnd = [&](std::uint32_t station, std::string_view text) {
            const std::lock_guard lock(noticeMutex);
            notices.emplace_back(station, text);
        };
    });
    ASSERT_TRUE(first->waitFor([](const auto& p) { return p.size() >= 3; }, seconds(10)));
    auto noticeCount = [&] {
        const std::lock_guard lock(noticeMutex);
        return notices.size();
    };
    EXPECT_EQ(noticeCount(), 0u);  // a healthy line is never reported

    std::filesystem::remove(port);
    first.reset();
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    while (noticeCount() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Several reopen attempts fail meanwhile; none of them is told again.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    {
        const std::lock_guard lock(noticeMutex);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].first, 1u);  // the station id
        EXPECT_EQ(notices[0].second, "COMFL");
    }
    auto entries = [&](std::string_view text) {
        std::ifstream in(log, std::ios::binary);
        const std::string all{std::istreambuf_iterator<char>(in), {}};
        std::size_t count = 0;
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    const std::string lost =
        port.string() + " \xb4\xae\xbf\xda\xd2\xd1\xb6\xcf\xbf\xaa";  // 串口已断开
    const std::string back =
        port.string() + " \xb4\xae\xbf\xda\xd2\xd1\xbb\xd6\xb8\xb4";  // 串口已恢复
    EXPECT_EQ(entries(lost), 1u);
    EXPECT_EQ(entries(back), 0u);

    BaseStationSim second;
    ASSERT_TRUE(second.ok());
    second.start();
    std::filesystem::create_symlink(second.slavePath(), port);
    ASSERT_TRUE(second.waitFor([](const auto& p) { return p.size() >= 3; }, seconds(10)))
        << "polling did not resume";
    EXPECT_EQ(second.polls().front().bytes, poll(0x0c, 0x0b, 0x0a, 0x0a));
    EXPECT_EQ(noticeCount(), 1u);
    EXPECT_EQ(entries(lost), 1u);
    EXPECT_EQ(entries(back), 1u);
    stopAll();
    ASSERT_EQ(thread.wait_for(seconds(5)), std::future_status::ready);
    EXPECT_EQ(thread.get(), kPollStopped);
    EXPECT_TRUE(host.messages().empty());
}

TEST_F(PollCycle, ManualDownloadRequestIsHandedOnOnlyAfterADownloadPoll) {
    BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.addHandheld(HandheldScript{*basestation::parseAddress("0a0b0c"), ReplyMode::frames,
                                   {basestation::requestFrame(0x0c, 0x81, Bytes(4, 0))}, 1});
    sim.start();
    configure(0, {"0a0b0c"});
    table.rows[0][0].mark = kDownloadMark;
    selected[0] = 1;
    download = 1;
    RecordingHost host;
    auto thread = startThread(&sim, 0, 1, host);
    ASSERT_TRUE(sim.waitFor([](const auto& p) { return p.size() >= 2; }, seconds(10)));
    stopAll();
    EXPECT_EQ(thread.get(), kPollStopped);
    const std::lock_guard lock(downloads.mutex);
    ASSERT_FALSE(downloads.manual.empty());
    EXPECT_EQ(downloads.manual.front(), "0a0b0c");
    const std::lock_guard requestLock(requests.mutex);
    EXPECT_TRUE(requests.requests.empty());
}

TEST_F(PollCycle, FailuresShowTheirMessages) {
    {
        RecordingHost host;
        auto thread = startThread(nullptr, 0, 1, host, "/nonexistent/ttyS9");
        EXPECT_EQ(thread.get(), kOpenFailed);
        EXPECT_EQ(host.messages(), std::vector<std::string>{"/nonexistent/ttyS9" + kOpenFailedText});
    }
    {
        RecordingHost host;
        PollServices missing{state, &host, nullptr, &downloads, {}};
        EXPECT_EQ(runPollThread(nullptr, missing), kThreadSetupFailed);
        EXPECT_EQ(host.messages(), std::vector<std::string>{"returnvalue error"});
    }
    // No handhelds: the message after every OK, and address 00 00 00 polled between.
    BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.start();
    RecordingHost host;
    auto thread = startThread(&sim, 2, 0, host);
    ASSERT_TRUE(host.waitForMessages(3));
    ASSERT_TRUE(sim.waitFor([](const auto& p) { return p.size() >= 2; }, seconds(10)));
    EXPECT_EQ(sim.polls().front().bytes, poll(0, 0, 0, 0x0a));
    EXPECT_EQ(host.messages().front(), kNoHandhelds);

    // Download mode on that station: the skipped entry carries the index past
    // the count and the thread ends.
    selected[2] = 1;
    download = 1;
    EXPECT_EQ(thread.get(), kPollIndexBeyondCount);
    EXPECT_EQ(host.messages().back(), kIndexBeyondCount);
}

}  // namespace
}  // namespace padlink

namespace padlink {
namespace {

// The simulated handheld checks every answer frame it gets, as a handheld would.
TEST(SimulatedHandheld, CountsAnswersWhoseChecksumDoesNotHold) {
    basestation::BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.start();
    const int fd = ::open(sim.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(fd, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &raw), 0);

    std::vector<std::uint8_t> good(20, 0x41);
    good[0] = 0x01;
    good[3] = 0x01;  // a frame type the handheld knows
    good[7] = 0x31;
    ASSERT_TRUE(sealFrame(good, good.size()));
    std::vector<std::uint8_t> bad = good;
    bad[15] ^= 0x01;  // the payload no longer matches its checksum
    for (const auto* frame : {&good, &bad}) {
        ASSERT_EQ(::write(fd, frame->data(), frame->size()), static_cast<ssize_t>(frame->size()));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim.framesReceived().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(sim.framesReceived().size(), 2u);
    EXPECT_EQ(sim.badAnswers(), 1u);
    ::close(fd);
    sim.stop();
}

}  // namespace
}  // namespace padlink
