// Program log and traffic log on real files, including writers in several
// processes at once.
#include "logs/program_log.h"

#include "config/test_folder.h"
#include "link/result_codes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

namespace padlink {
namespace {

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// 错误的命令行参数 in GBK.
const std::string kBadCommandLine{
    "\xb4\xed\xce\xf3\xb5\xc4\xc3\xfc\xc1\xee\xd0\xd0\xb2\xce\xca\xfd"};

TEST(ProgramLog, EntryStampIsBlankPaddedAndCategoryBracketed) {
    std::tm at{};
    at.tm_mon = 11;
    at.tm_mday = 9;
    at.tm_hour = 16;
    at.tm_min = 5;
    at.tm_sec = 3;
    EXPECT_EQ(formatLogEntry(at, "warn0", kBadCommandLine), "[12- 9 16: 5: 3][warn0]" + kBadCommandLine);
    at.tm_mon = 0;
    at.tm_mday = 31;
    at.tm_hour = 0;
    EXPECT_EQ(formatLogEntry(at, "", "x"), "[ 1-31  0: 5: 3]x");
}

TEST(ProgramLog, NamesResolveBesideTheProgramUnlessAbsolute) {
    const std::filesystem::path folder = programFolder();
    const std::pair<std::string, std::filesystem::path> cases[] = {
        {"a.log", folder / "a.log"},
        {"", folder / "log.log"},
        {":odd.log", folder / ":odd.log"},
        {"C:\\logs\\a.log", "C:\\logs\\a.log"},
        {"/var/tmp/a.log", "/var/tmp/a.log"},
    };
    for (const auto& [name, path] : cases) {
        setLogFile(name);
        EXPECT_EQ(logFile(), path) << name;
    }
}

TEST(ProgramLog, EntriesStartWithALineBreakAndSurviveConcurrentProcesses) {
    testing::TestFolder folder;
    const auto file = folder.path() / "debug.log";
    setLogFile(file.string());
    logEntry("warn0", "%s", kBadCommandLine.c_str());
    const std::regex first("\r\n\\[[ 1][0-9]-[ 123][0-9] [ 12][0-9]:[ 0-5][0-9]:[ 0-5][0-9]\\]"
                           "\\[warn0\\]" + kBadCommandLine);
    EXPECT_TRUE(std::regex_match(contents(file), first)) << contents(file);

    // Writers in other processes: every entry must arrive whole.
    constexpr int kWriters = 4;
    constexpr int kEntries = 50;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int e = 0; e < kEntries; ++e) {
                logEntry("w", "writer %d entry %d %s", w, e, std::string(200, 'x').c_str());
            }
            _exit(0);
        }
    }
    for (int w = 0; w < kWriters; ++w) {
        int status = 0;
        wait(&status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = contents(file);
    const std::regex entry("\r\n\\[[^\\]]*\\]\\[w\\]writer [0-9] entry [0-9]+ x{200}");
    const auto count = std::distance(std::sregex_iterator(text.begin(), text.end(), entry),
                                     std::sregex_iterator());
    EXPECT_EQ(count, kWriters * kEntries);
    EXPECT_NE(text.back(), '\n');
}

TEST(ProgramLog, UnopenableLogLosesTheEntryQuietly) {
    setLogFile("/nonexistent-folder/debug.log");
    logEntry("warn0", "lost");  // must neither crash nor hang
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder/debug.log"));
}

TEST(TrafficLog, LinesAppendWithCrLfAndFailureIsReported) {
    testing::TestFolder folder;
    const auto file = folder.path() / "Log.txt";
    ASSERT_EQ(setenv("PADLINK_TRAFFIC_LOG", file.c_str(), 1), 0);
    EXPECT_EQ(trafficLogPath(), file);
    EXPECT_EQ(appendTrafficLog("TX:0c 0b 0a 0a ef 7b cd "), kSuccess);
    EXPECT_EQ(appendTrafficLog("RX:"), kSuccess);
    EXPECT_EQ(contents(file), "TX:0c 0b 0a 0a ef 7b cd \r\nRX:\r\n");

    ASSERT_EQ(setenv("PADLINK_TRAFFIC_LOG", "/nonexistent-folder/Log.txt", 1), 0);
    EXPECT_EQ(appendTrafficLog("RX:"), kTrafficLogFailed);
    ASSERT_EQ(unsetenv("PADLINK_TRAFFIC_LOG"), 0);
    EXPECT_EQ(trafficLogPath(), programFolder() / "Log.txt");
}

}  // namespace
}  // namespace padlink
