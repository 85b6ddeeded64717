// The padlink executable from outside, as the front end starts it: a copy in
// a private folder (so its debug.log is ours), a working folder with TXT, a
// station on the simulator, and notices over the real window socket.
#include "app/test_support.h"
#include "base_station_sim.h"
#include "config/test_folder.h"
#include "platform/window_messages.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

namespace padlink {
namespace {

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PadlinkProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(work);
        std::filesystem::copy_file(PADLINK_EXECUTABLE, bin / "padlink");
    }
    void TearDown() override {
        for (pid_t pid : started) {
            if (kill(pid, 0) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }

    pid_t start(const std::vector<std::string>& args) {
        const auto errors = folder.path() / ("stderr-" + std::to_string(started.size()) + ".txt");
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work.c_str()) != 0) {
                _exit(127);
            }
            const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 2);
            std::vector<char*> argv;
            const std::string exe = (bin / "padlink").string();
            argv.push_back(const_cast<char*>(exe.c_str()));
            for (const auto& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        started.push_back(pid);
        return pid;
    }

    // The exit status once the process has ended, nothing when it runs on.
    static std::optional<int> exitStatus(pid_t pid, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static bool send(const char* text) {
        const auto window = findWindow("Padlink");
        return window && sendCopyData(*window, 0, text).has_value();
    }

    std::size_t startEntries() const {
        const std::string text = contents(bin / "debug.log");
        // 错误的命令行参数 in GBK after the stamp and category.
        const std::regex entry(
            "\r\n\\[[ 1][0-9]-[ 123][0-9] [ 12][0-9]:[ 0-5][0-9]:[ 0-5][0-9]\\]\\[warn0\\]"
            "\xb4\xed\xce\xf3\xb5\xc4\xc3\xfc\xc1\xee\xd0\xd0\xb2\xce\xca\xfd");
        return static_cast<std::size_t>(
            std::distance(std::sregex_iterator(text.begin(), text.end(), entry), std::sregex_iterator()));
    }

    PADLINK_TEST_GUARD(180);
    ::padlink::testing::TestFolder folder;
    std::filesystem::path bin = folder.path() / "bin";
    std::filesystem::path work = folder.path() / "work";
    std::vector<pid_t> started;
};

TEST_F(PadlinkProcess, EmptyCommandLineOnlyWritesTheStartEntry) {
    const pid_t pid = start({});
    EXPECT_EQ(exitStatus(pid, std::chrono::seconds(30)), 0);
    EXPECT_EQ(startEntries(), 1u);
    EXPECT_TRUE(contents(bin / "debug.log").starts_with("\r\n["));
    EXPECT_FALSE(findWindow("Padlink").has_value());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "Padlink.exe"));
    EXPECT_EQ(contents(folder.path() / "stderr-0.txt").find("message:"), std::string::npos);
}

TEST_F(PadlinkProcess, OneInstanceRunsPollsAndEndsOnTc) {
    basestation::BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    sim.start();
    testing::writeTxtFolder(work, "轮循间隔:5\n读取超时:10\n读取时间间隔:5\n调试信息输出:1",
                            sim.slavePath() + ",1\n", "1,0a0b0c\n");
    const pid_t first = start({"POS", "front"});
    ASSERT_TRUE(testing::waitUntil([] { return findWindow("Padlink").has_value(); },
                                   std::chrono::seconds(30)));
    ASSERT_TRUE(sim.waitFor([](const auto& polls) { return polls.size() >= 3; }, std::chrono::seconds(30)));
    EXPECT_EQ(sim.polls().front().bytes, (std::array<std::uint8_t, 7>{0x0c, 0x0b, 0x0a, 0x0a, 0xef, 0x7b, 0xcd}));

    const pid_t second = start({"POS"});
    EXPECT_EQ(exitStatus(second, std::chrono::seconds(30)), 0);
    EXPECT_FALSE(exitStatus(first, std::chrono::milliseconds(0)).has_value());
    EXPECT_EQ(startEntries(), 2u);

    ASSERT_TRUE(send("tc"));
    ASSERT_TRUE(send("XS"));  // answered, so "tc" was handled and left it running
    EXPECT_FALSE(exitStatus(first, std::chrono::milliseconds(0)).has_value());
    ASSERT_TRUE(send("TC"));
    EXPECT_EQ(exitStatus(first, std::chrono::seconds(30)), 0);

    const std::string traffic = contents(std::getenv("PADLINK_TRAFFIC_LOG"));
    EXPECT_NE(traffic.find("TX:0c 0b 0a 0a ef 7b cd \r\nRX:\r\n"), std::string::npos) << traffic;
}

TEST_F(PadlinkProcess, MissingConfigurationIsReportedAndTheWindowStillRuns) {
    const pid_t pid = start({"POS"});
    ASSERT_TRUE(testing::waitUntil([] { return findWindow("Padlink").has_value(); },
                                   std::chrono::seconds(30)));
    ASSERT_TRUE(send("TC"));
    EXPECT_EQ(exitStatus(pid, std::chrono::seconds(30)), 0);
    EXPECT_NE(contents(folder.path() / "stderr-0.txt")
                  .find("message: 读取文件失败: 读取基站串口文件失败或没有基站信息！"),
              std::string::npos);
}

TEST_F(PadlinkProcess, HandheldsGetTheTablesTheirVersionsMissAndAMissingFileIsReported) {
    basestation::BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    const auto received = folder.path() / "received";
    std::filesystem::create_directories(received);
    sim.setTablesFolder(received);
    // 0a0b0c misses the bridge's version of table 1, 112233 that of table 3,
    // whose file is not there.
    basestation::HandheldScript wantsDishes;
    wantsDishes.address = {0x0c, 0x0b, 0x0a};
    wantsDishes.mode = basestation::ReplyMode::updateDownload;
    basestation::DownloadScript once;
    once.maxDownloads = 1;
    once.peer.versionRows = {{1, 1, 1, 1, 1, 1, 1}};
    sim.addHandheld(wantsDishes, once);
    basestation::HandheldScript wantsMissing = wantsDishes;
    wantsMissing.address = {0x33, 0x22, 0x11};
    once.peer.versionRows = {{1, 1, 1, 1, 1, 1, 2}, {3, 0, 0, 0, 0, 0, 0}};
    sim.addHandheld(wantsMissing, once);
    sim.start();

    testing::writeTxtFolder(work, "轮循间隔:5\n读取超时:10\n读取时间间隔:5", sim.slavePath() + ",1\n",
                            "1,0a0b0c\n1,112233\n");
    const auto txt = work / "TXT";
    testing::writeTable(txt, 1, QStringLiteral("1,1,1,D1,红烧肉,1800,1\n2,1,1,D2,清蒸 鱼,4200,1\n"));
    {
        std::ofstream versions(txt / "数据库版本.txt", std::ios::binary);
        versions << "1,1,1,1,1,1,2\r\n3,1,1,1,1,1,1\r\n";
    }
    const pid_t pid = start({"POS"});
    const auto dishes = received / basestation::receivedTableName("0a0b0c", false, 1);
    const auto errors = folder.path() / "stderr-0.txt";
    const std::string missing = "message: 错误: 读取文件“菜品二级分类表.txt”错误";
    ASSERT_TRUE(testing::waitUntil(
        [&] { return std::filesystem::exists(dishes) && contents(errors).find(missing) != std::string::npos; },
        std::chrono::seconds(20)))
        << contents(errors);
    testing::expectSameRecords(dishes, txt, 1);
    ASSERT_TRUE(testing::waitUntil([&] { return sim.downloadsStarted() == 2; }, std::chrono::seconds(5)));
    EXPECT_EQ(sim.tablesWritten().size(), 1u);

    ASSERT_TRUE(send("TC"));
    EXPECT_EQ(exitStatus(pid, std::chrono::seconds(30)), 0);
}

// "TC" in the middle of an update download with a handheld that asks for the
// same packet for ever: the bridge ends, and the front end can start it again
// at once (the lock and the window are free).
TEST_F(PadlinkProcess, RestartRightAfterTcInTheMiddleOfADownload) {
    basestation::BaseStationSim sim;
    ASSERT_TRUE(sim.ok());
    basestation::HandheldScript stuck;
    stuck.address = {0x0c, 0x0b, 0x0a};
    stuck.mode = basestation::ReplyMode::updateDownload;
    basestation::DownloadScript forever;
    forever.maxDownloads = 1;
    forever.peer.versionRows = {{1, 1, 1, 1, 1, 1, 1}};
    forever.peer.repeatForeverFrom = 1;
    sim.addHandheld(stuck, forever);
    sim.start();
    testing::writeTxtFolder(work, "轮循间隔:5\n读取超时:10\n读取时间间隔:5",
                            sim.slavePath() + ",1\n", "1,0a0b0c\n");
    QString dishes;
    for (int i = 1; i <= 200; ++i) {
        dishes += QStringLiteral("%1,1,1,D%1,菜%1,1800,1\n").arg(i);
    }
    testing::writeTable(work / "TXT", 1, dishes);
    {
        std::ofstream versions(work / "TXT" / "数据库版本.txt", std::ios::binary);
        versions << "1,1,1,1,1,1,2\r\n";
    }
    const pid_t first = start({"POS"});
    ASSERT_TRUE(
        testing::waitUntil([&] { return sim.downloadsStarted() == 1; }, std::chrono::seconds(30)));
    // Well into the packets the handheld keeps asking for again.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_FALSE(exitStatus(first, std::chrono::milliseconds(0)).has_value());

    const auto tcAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(send("TC"));
    ASSERT_EQ(exitStatus(first, std::chrono::seconds(10)), 0) << "the bridge outlived TC";
    const auto endedAt = std::chrono::steady_clock::now();
    // The download gave up the line by itself; the bridge did not have to leave it behind.
    EXPECT_EQ(contents(folder.path() / "stderr-0.txt").find("did not end"), std::string::npos);

    const std::size_t pollsBefore = sim.pollCount();
    const pid_t second = start({"POS"});
    ASSERT_TRUE(testing::waitUntil([] { return findWindow("Padlink").has_value(); },
                                   std::chrono::seconds(30)));
    const auto windowAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(sim.waitFor([&](const auto& polls) { return polls.size() > pollsBefore; },
                            std::chrono::seconds(30)));
    const auto pollingAt = std::chrono::steady_clock::now();
    const auto ms = [](auto d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    std::printf(
        "measured: TC to exit %lld ms, new bridge's window %lld ms and first poll %lld ms after "
        "the exit\n",
        static_cast<long long>(ms(endedAt - tcAt)), static_cast<long long>(ms(windowAt - endedAt)),
        static_cast<long long>(ms(pollingAt - endedAt)));

    ASSERT_TRUE(send("TC"));
    EXPECT_EQ(exitStatus(second, std::chrono::seconds(10)), 0);
}

}  // namespace
}  // namespace padlink
