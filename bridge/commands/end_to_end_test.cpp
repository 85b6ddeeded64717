// Requests over the real path: the base-station simulator on a
// pseudo-terminal sends one request of every answer kind, the poll thread
// hands each to the command layer, the front end simulator answers through
// the exchange files and its window, and the answer frames that reach the
// far end of the line are checked there.
#include "commands/dispatch.h"

#include "base_station_sim.h"
#include "config/hang_guard.h"
#include "config/test_folder.h"
#include "front_end_sim.h"
#include "link/poll_thread.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <mutex>

namespace padlink {
namespace {

using basestation::Bytes;
using std::chrono::seconds;

class QuietHost final : public PollHost {
public:
    void postDisplayLine(std::string_view) override {}
    void showMessage(std::string_view text) override {
        const std::lock_guard lock(mutex);
        messages.emplace_back(text);
    }
    std::mutex mutex;
    std::vector<std::string> messages;
};

struct KindCase {
    const char* kind;
    std::uint8_t command;
    Bytes record;
    const char* answer;      // scripted for the request's notice
    const char* line;        // the request line the front end must have read
    Bytes expectedStart;     // bytes 0 and 12.. of the answer frame
    std::size_t length;
};

const std::vector<KindCase>& kindCases() {
    static const std::vector<KindCase> cases{
        {"plain", 0x57, {1, 0, 2, 0, 3, 0}, "5", "CT,1,2,3", {5}, 12},
        {"value list", 0x31, Bytes(33, 0), "0|1,2,3",
         "LD\r\n0,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0,0.00,0\r\n", {0, 1, 0, 2, 0, 3, 0}, 18},
        {"table status", 0x54, {0x0C, 0, 4, 0, 7, 0}, "0|1,2,3,4,5,6,7,8,9,10", "DT,12,4,7",
         {0, 1, 0, 2, 0, 3, 0, 4, 5, 6, 7, 10, 9, 8}, 25},
        {"with items", 0x66, {9, 0, 1, 0, 2, 0}, "0|1,2,3,4,5,6,7,8,9,12.34|1",
         "THDC,9,1,2", {0, 1, 0, 2, 0, 3, 0, 4, 5, 6, 7, 9, 8, 0xD2, 0x04, 0, 0, 1, 0, 1, 0, 2, 0},
         61},
        {"two lists", 0x69, {}, "0,0,1|9,2", "GQXL", {0, 0, 0, 9, 0, 2}, 17},
        {"3-byte list", 0x62, {}, "0,2|5,1,2|6,3,4", "CXSXZT", {0, 5, 0, 0x12, 6, 0, 0x34}, 18},
        {"6-byte list", 0x63, {}, "0,1|1,2,3,4", "DCSXZT", {0, 1, 0, 2, 0, 4, 3}, 18},
        {"8-byte list", 0x64, {}, "0,1|1,2,3,1.5", "ZDSXZT", {0, 1, 0, 2, 0, 3, 150, 0, 0}, 20},
        {"login", 0x50, {3, 0, 1, 2, 0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "1,2,3,4,5,6,7,8,9,0,0", "DL,3,12", {1, 3, 0, 1, 2, 0xAA}, 45},
        // No notice: it gets what the front end left in the answer file, the
        // login answer just before it.
        {"seven-byte status", 0x80, {}, "", "", {1, 2, 3, 4, 5, 6, 7, 8}, 19},
    };
    return cases;
}

TEST(RealPath, EveryAnswerKindReachesTheHandheld) {
    PADLINK_TEST_GUARD(120);
    testing::TestFolder ipc;
    testing::TestFolder home;
    ASSERT_FALSE(ipc.path().empty());
    setenv("PADLINK_IPC_DIR", ipc.path().c_str(), 1);
    const std::string title = "POS-e2e-" + std::to_string(getpid());
    constexpr int kStationId = 7;

    frontend::FrontEndSim frontEnd(title, home.path());
    for (const KindCase& c : kindCases()) {
        if (const Command* command = findCommand(c.command); !command->notice.empty()) {
            frontEnd.setAnswer(std::string(command->notice), c.answer);
        }
    }
    ASSERT_TRUE(frontEnd.start());

    basestation::BaseStationSim station;
    ASSERT_TRUE(station.ok());
    basestation::HandheldScript handheld;
    handheld.address = {0x01, 0x00, 0x00};
    handheld.mode = basestation::ReplyMode::frames;
    for (const KindCase& c : kindCases()) {
        handheld.frames.push_back(basestation::requestFrame(0x01, c.command, c.record));
    }
    station.addHandheld(handheld);
    station.start();

    HandheldTable table;
    table.rows[0][0].addressLow = 0x01;
    std::atomic<int> stop{0};
    std::atomic<int> download{0};
    StationFlags selected{};
    StationFlags display{};
    LinkState state{table, stop, download, selected, display};
    QuietHost host;
    CommandLayer commands(0, findWindow(title),
                          [&host](std::string_view text) { host.showMessage(text); });
    UnservedDownloads downloads;
    PollServices services{state, &host, &commands, &downloads, {}};
    // The seven-byte status takes the answer left by the request before it:
    // no reply may be lost to the purge, or the order shifts.
    services.afterPurge = station.afterPurgeHook();
    auto params = std::make_unique<PollThreadParams>();
    params->handheldCount = 1;
    params->portName = station.slavePath();
    params->folder = home.path();
    params->stationIndex = 0;
    params->stationId = kStationId;
    params->pollInterval = 2;
    params->readTimeout = 30;
    params->readInterval = 5;
    auto thread = std::async(std::launch::async, [&services, p = std::move(params)]() mutable {
        return runPollThread(std::move(p), services);
    });

    const std::size_t kinds = kindCases().size();
    // Every answer goes out before the next poll, so each new poll is the
    // moment to look again (the condition runs under the simulator's lock).
    const auto deadline = std::chrono::steady_clock::now() + seconds(30);
    while (station.framesReceived().size() < kinds && std::chrono::steady_clock::now() < deadline) {
        const std::size_t seen = station.pollCount();
        station.waitFor([seen](const auto& polls) { return polls.size() > seen; }, seconds(1));
    }
    stop = 1;
    EXPECT_EQ(thread.get(), kPollStopped);
    frontEnd.stop();

    std::map<std::uint8_t, Bytes> answers;
    for (const Bytes& frame : station.framesReceived()) {
        answers.emplace(frame[7], frame);
    }
    const auto notices = frontEnd.notices();
    for (const KindCase& c : kindCases()) {
        SCOPED_TRACE(c.kind);
        ASSERT_TRUE(answers.contains(c.command));
        const Bytes& frame = answers[c.command];
        ASSERT_EQ(frame.size(), c.length);
        EXPECT_EQ(checkReply(frame), ReplyVerdict::deliver);
        EXPECT_EQ(frame[2], 0x01);
        EXPECT_EQ(frame[0], c.expectedStart[0]);
        const Bytes payloadStart(frame.begin() + 12,
                                 frame.begin() + 12 + static_cast<long>(c.expectedStart.size() - 1));
        EXPECT_EQ(payloadStart, Bytes(c.expectedStart.begin() + 1, c.expectedStart.end()));

        const std::string_view notice = findCommand(c.command)->notice;
        if (notice.empty()) {
            continue;
        }
        const auto seen = std::find_if(notices.begin(), notices.end(),
                                       [&](const frontend::Notice& n) { return n.name == notice; });
        ASSERT_NE(seen, notices.end());
        EXPECT_EQ(seen->station, static_cast<std::uint32_t>(kStationId));
        EXPECT_EQ(seen->requestLine, c.line);
    }
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(station.badAnswers(), 0u) << "the simulated handheld refused an answer";
}

}  // namespace
}  // namespace padlink
