// One exchange with a front end over real files and real sockets: the
// request line file, the notice, the answer file, the commands without a
// notice, the requests that must not reach the front end, and front ends
// that never return or die while handling a notice.
#include "commands/dispatch.h"

#include "commands/test_frames.h"
#include "config/hang_guard.h"
#include "config/test_folder.h"
#include "front_end_sim.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <future>
#include <sys/wait.h>
#include <unistd.h>

namespace padlink {
namespace {

using std::chrono::seconds;
using testing::Bytes;
using testing::requestBuffer;

std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void putFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ipc.path().empty());
        ASSERT_FALSE(home.path().empty());
        setenv("PADLINK_IPC_DIR", ipc.path().c_str(), 1);
        title = "POS-" + std::to_string(getpid());
    }

    std::size_t dispatch(testing::Buffer& frame) {
        CommandLayer layer(0, findWindow(title), [this](std::string_view text) {
            messages.emplace_back(text);
        });
        return layer.dispatchRequest(frame, session);
    }

    PADLINK_TEST_GUARD(120);
    testing::TestFolder ipc;
    testing::TestFolder home;
    std::string title;
    LinkSession session{home.path(), 12};
    std::vector<std::string> messages;
};

TEST_F(Exchange, FilesAreTextModeAndTruncated) {
    EXPECT_EQ(session.requestFile(), home.path() / "TX12.txt");
    EXPECT_EQ(session.answerFile(), home.path() / "RX12.txt");

    putFile(session.requestFile(), "an older, much longer request line\r\n");
    ASSERT_EQ(writeRequestLine(session, "LD\n1,2\n"), kSuccess);
    EXPECT_EQ(fileText(session.requestFile()), "LD\r\n1,2\r\n");
    ASSERT_EQ(writeRequestLine(session, "KT,12,4,7"), kSuccess);
    EXPECT_EQ(fileText(session.requestFile()), "KT,12,4,7");

    EXPECT_EQ(readAnswerText(session), "");  // missing
    putFile(session.answerFile(), "0\r\n\r\n5\r\n");
    EXPECT_EQ(readAnswerText(session), "0|5");
    putFile(session.answerFile(), "1\n2,3\n\n");
    EXPECT_EQ(readAnswerText(session), "1|2,3");

    const LinkSession nowhere(home.path() / "missing", 1);
    EXPECT_EQ(writeRequestLine(nowhere, "KT,1,2,3"), kRequestLineFailed);
}

TEST_F(Exchange, NoticeCarriesStationAndNameWithItsZeroByte) {
    std::promise<WindowMessage> seen;
    WindowServer frontEnd(title, [&](const WindowMessage& message) {
        seen.set_value(message);
        putFile(session.answerFile(), "4\r\n");
        return 1u;
    });
    ASSERT_TRUE(frontEnd.listening());
    auto frame = requestBuffer(0x35, {});
    EXPECT_EQ(dispatch(frame), 12u);
    EXPECT_EQ(frame[0], 4);  // read after the front end returned
    const WindowMessage message = seen.get_future().get();
    EXPECT_EQ(message.message, kCopyDataMessage);
    EXPECT_EQ(message.dwData, 12u);
    EXPECT_EQ(message.data, std::string("LDZS\0", 5));
}

TEST_F(Exchange, SimulatedFrontEndAnswersFromItsScript) {
    frontend::FrontEndSim sim(title, home.path());
    sim.setAnswer("KT", "0|1,2,3,4,5,6,7,8,9,10");
    ASSERT_TRUE(sim.start());
    auto frame = requestBuffer(0x51, {0x0C, 0x00, 0x04, 0x00, 0x07, 0x00});
    ASSERT_EQ(dispatch(frame), 25u);
    EXPECT_EQ(testing::bytesOf(frame, 12, 13),
              (Bytes{1, 0, 2, 0, 3, 0, 4, 5, 6, 7, 10, 9, 8}));
    const auto notices = sim.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].name, "KT");
    EXPECT_EQ(notices[0].station, 12u);
    EXPECT_EQ(notices[0].requestLine, "KT,12,4,7");
    EXPECT_EQ(fileText(session.answerFile()), "0\r\n1,2,3,4,5,6,7,8,9,10\r\n");
}

TEST_F(Exchange, WithoutFrontEndTheAnswerFileIsReadAsItStands) {
    putFile(session.answerFile(), "0\r\n5,6,7,8,9,10,11,12,13,14\r\n");
    for (int round = 0; round < 2; ++round) {
        auto frame = requestBuffer(0x51, {0x0C, 0x00, 0x04, 0x00, 0x07, 0x00});
        ASSERT_EQ(dispatch(frame), 25u);
        EXPECT_EQ(frame[12], 5);
        EXPECT_EQ(fileText(session.requestFile()), "KT,12,4,7");
    }
}

TEST_F(Exchange, CommandsWithoutNotice) {
    frontend::FrontEndSim sim(title, home.path());
    ASSERT_TRUE(sim.start());
    putFile(session.requestFile(), "KT,1,2,3");
    putFile(session.answerFile(), "2,1,2,3,4,5,6,7\r\n");

    auto status = requestBuffer(0x80, {});
    ASSERT_EQ(dispatch(status), 19u);
    EXPECT_EQ(fileText(session.requestFile()), "");
    EXPECT_EQ(status[0], 2);
    EXPECT_EQ(status[18], 7);

    auto radio = requestBuffer(0x38, Bytes(25, 0x5A));
    ASSERT_EQ(dispatch(radio), 29u);
    EXPECT_EQ(radio[3], 100);
    std::string testLine = "RFT,";
    for (int i = 0; i < 25; ++i) {
        testLine += "90";
    }
    EXPECT_EQ(fileText(session.requestFile()), testLine);
    EXPECT_TRUE(sim.notices().empty());
}

TEST_F(Exchange, RequestsThatMustNotReachTheFrontEnd) {
    frontend::FrontEndSim sim(title, home.path());
    ASSERT_TRUE(sim.start());
    putFile(session.requestFile(), "CC,previous\r\n");

    auto unknown = requestBuffer(0x52, {1, 2, 3});
    EXPECT_EQ(dispatch(unknown), 0u);

    auto checkOut = requestBuffer(0x37, Bytes(9, 0));  // 21 bytes
    EXPECT_EQ(dispatch(checkOut), 0u);
    auto startNow = requestBuffer(0x84, Bytes(5, 0));  // 17 bytes
    EXPECT_EQ(dispatch(startNow), 0u);
    const std::vector<std::string> expected{
        "\xb4\xae\xbf\xda\xca\xd5\xb5\xbd\xb5\xc4\xbd\xe1\xd5\xcb\xca\xfd\xbe\xdd\xb3\xa4\xb6\xc8"
        "\xb2\xbb\xb6\xd4\xa3\xa1",
        "\xb4\xae\xbf\xda\xca\xd5\xb5\xbd\xb5\xc4\xbc\xb4\xc6\xf0\xca\xfd\xbe\xdd\xb3\xa4\xb6\xc8"
        "\xb2\xbb\xb6\xd4\xa3\xa1"};
    EXPECT_EQ(messages, expected);

    // The request line file cannot be written: the stale line must not be
    // handed over as this request.
    LinkSession unwritable(home.path() / "missing", 12);
    auto kt = requestBuffer(0x51, {1, 0, 2, 0, 3, 0});
    CommandLayer layer(0, findWindow(title), {});
    EXPECT_EQ(layer.dispatchRequest(kt, unwritable), 0u);

    EXPECT_EQ(fileText(session.requestFile()), "CC,previous\r\n");
    EXPECT_TRUE(sim.notices().empty());

    auto jz = requestBuffer(0x37, {5, 0, 0xD2, 0x04, 0, 0, 1, 0});
    EXPECT_EQ(dispatch(jz), 12u);
    EXPECT_EQ(fileText(session.requestFile()), "JZ,5,12.34,1");
    ASSERT_EQ(sim.notices().size(), 1u);
}

TEST_F(Exchange, FrontEndThatNeverReturnsHoldsTheStationUntilReleased) {
    frontend::FrontEndSim sim(title, home.path());
    sim.setFailure(frontend::Failure::neverReturns);
    ASSERT_TRUE(sim.start());
    putFile(session.answerFile(), "6\r\n");
    auto frame = requestBuffer(0x30, {});
    auto answered = std::async(std::launch::async, [&] { return dispatch(frame); });
    ASSERT_TRUE(sim.waitForNotices(1, seconds(10)));
    // Held: the notice has been taken and has not returned.
    EXPECT_EQ(answered.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    sim.stop();
    EXPECT_EQ(answered.get(), 12u);
    EXPECT_EQ(frame[0], 6);
}

TEST_F(Exchange, FrontEndThatDiesWhileHandlingCountsAsReturned) {
    putFile(session.answerFile(), "9\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(FRONTEND_SIM_PROGRAM, FRONTEND_SIM_PROGRAM, "--title", title.c_str(), "--home",
              home.path().c_str(), "--fail", "die", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Ends the simulator should the test stop before the notice does.
    struct Reaper {
        pid_t pid;
        bool reaped = false;
        ~Reaper() {
            if (!reaped) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reaper{child};
    // The simulator's window appears once it listens.
    for (int i = 0; i < 500 && !findWindow(title); ++i) {
        usleep(10'000);
    }
    ASSERT_TRUE(findWindow(title).has_value());
    auto frame = requestBuffer(0x30, {});
    EXPECT_EQ(dispatch(frame), 12u);
    EXPECT_EQ(frame[0], 9);  // the answer file as the front end left it
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    reaper.reaped = true;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

}  // namespace
}  // namespace padlink

namespace padlink {
namespace {

// Two stations dispatch through one command layer at the same time, as their
// poll threads do; the order version is a value of each request (a shared
// write of it is a data race that the thread sanitizer build reports).
TEST(CommandLayerThreads, StationsDispatchAtOnceWithTheLiveOrderVersion) {
    PADLINK_TEST_GUARD(120);
    testing::TestFolder home;
    ASSERT_FALSE(home.path().empty());
    std::atomic<int> version{1};
    CommandLayer layer(version, std::nullopt, {});
    // One ItemRecord whose field 9 is 3: "5" while the order version is on.
    testing::Bytes item(33, 0);
    item[13] = 3;
    auto station = [&](int id) {
        LinkSession session(home.path(), id);
        for (int n = 0; n < 200; ++n) {
            auto frame = testing::requestBuffer(0x31, item);
            session.clearDataArea();
            layer.dispatchRequest(frame, session);
            const std::string line = fileText(session.requestFile());
            if (line != "LD\r\n0,0,0,0,0.0,0,0,0,5,0,0,0,0,0,0,0,0.00,0\r\n") {
                return line;
            }
        }
        return std::string();
    };
    auto first = std::async(std::launch::async, station, 1);
    auto second = std::async(std::launch::async, station, 2);
    ASSERT_EQ(first.wait_for(seconds(60)), std::future_status::ready);
    ASSERT_EQ(second.wait_for(seconds(60)), std::future_status::ready);
    EXPECT_EQ(first.get(), "");
    EXPECT_EQ(second.get(), "");
}

}  // namespace
}  // namespace padlink
