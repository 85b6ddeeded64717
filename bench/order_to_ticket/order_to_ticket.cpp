// order-to-ticket [ORDERS] [EVERY]: sends ORDERS orders (default 50), one dish
// each at a table of its own, from one waiter handheld that answers every
// EVERY-th poll (default 4), and prints for each order the time from its
// request frame leaving the handheld to its ticket file at the hot kitchen's
// printer, then the median and the worst next to Cookhub's cycle pause, which
// is the floor: intake, the pause, then printing.
#include "installation.h"
#include "waiter.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace installation;
using Clock = std::chrono::system_clock;
using namespace std::chrono_literals;

std::optional<Clock::time_point> modified(const fs::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(
        std::chrono::seconds(info.st_mtim.tv_sec) +
        std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
}

// The cycle pause in the run parameters: cd_stakeout_refresh, in seconds.
std::string cyclePause(const fs::path& home) {
    const std::string text = readFile(home / "Reports" / "Print.ini");
    std::smatch match;
    if (std::regex_search(text, match, std::regex("cd_stakeout_refresh=([0-9]+)"))) {
        return std::to_string(std::stoi(match[1]) * 1000) + " ms";
    }
    return "3000 ms (default)";
}

}  // namespace

int main(int argc, char** argv) {
    const int orders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int every = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;

    Folder root;
    Paths paths;
    if (const std::string failed = prepare(root.path(), paths); !failed.empty()) {
        std::fprintf(stderr, "order-to-ticket: %s\n", failed.c_str());
        return 1;
    }

    // Each order opens one of the tables the seed leaves free, orders one
    // 宫保鸡丁 and checks out, so each has a bill of its own (P<date>nnnn).
    constexpr std::uint8_t kAddress = 0x0c;
    basestation::HandheldScript waiter;
    waiter.address = {0x0c, 0x0b, 0x0a};
    waiter.mode = basestation::ReplyMode::frames;
    waiter.once = true;
    waiter.every = every;
    waiter.frames.push_back(basestation::loginFrame(kAddress, 1, "1001"));
    for (int i = 0; i < orders; ++i) {
        constexpr int kFreeTables[] = {2, 4, 5, 6, 8, 9, 10};  // A02 ... V04
        const int table = kFreeTables[i % 7];
        waiter.frames.push_back(basestation::openTableFrame(kAddress, table, 2, 1));
        waiter.frames.push_back(basestation::orderFrame(kAddress, {{1001, table, 1, 0, 10, {}}}));
        waiter.frames.push_back(basestation::checkOutFrame(kAddress, table, 3800, 1));
    }

    // Each order frame's time, and the bill its answer names ("0|lines,bill").
    std::mutex mutex;
    std::vector<Clock::time_point> sent;
    std::map<int, Clock::time_point> sentByBill;
    int refused = 0;
    basestation::BaseStationSim station;
    if (!station.ok()) {
        std::fprintf(stderr, "order-to-ticket: no pseudo-terminal\n");
        return 1;
    }
    station.addHandheld(waiter);
    const auto byte = [](std::string_view hex, std::size_t at) {
        return hex.size() >= 3 * at + 2 ? std::stoi(std::string(hex.substr(3 * at, 2)), nullptr, 16)
                                        : -1;
    };
    station.setObserver([&](std::string_view line) {
        // "request " or "answer ok " and the frame's bytes as hex pairs.
        if (line.starts_with("request ") && byte(line.substr(8), 7) == 0x31) {
            const std::lock_guard lock(mutex);
            sent.push_back(Clock::now());
        } else if (line.starts_with("answer ok ") && byte(line.substr(10), 7) == 0x31) {
            const std::string_view hex = line.substr(10);
            const std::lock_guard lock(mutex);
            if (byte(hex, 0) == 0 && byte(hex, 15) >= 0 && !sent.empty()) {
                sentByBill[byte(hex, 14) | byte(hex, 15) << 8] = sent.back();
            } else {
                ++refused;
            }
        }
    });
    if (const std::string failed = writeBridgeSettings(paths, station.slavePath(), {"0a0b0c"});
        !failed.empty()) {
        std::fprintf(stderr, "order-to-ticket: %s\n", failed.c_str());
        return 1;
    }
    station.start();
    Programs programs(paths);
    if (!programs.frontEndOpen) {
        std::fprintf(stderr, "order-to-ticket: the front end did not open its window\n");
        return 1;
    }

    // Ticket files of the hot kitchen by bill: 单号 P<yyMMdd><nnnn>.
    const std::regex billPattern("单号 P[0-9]{6}([0-9]{4})");
    std::map<int, Clock::time_point> printed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60 + 2 * orders);
    const auto answered = [&] {
        const std::lock_guard lock(mutex);
        return static_cast<int>(sentByBill.size()) + refused;
    };
    while (std::chrono::steady_clock::now() < deadline &&
           (answered() < orders || printed.size() < sentByBill.size())) {
        std::this_thread::sleep_for(100ms);
        std::error_code failed;
        for (const auto& file : fs::directory_iterator(paths.printers / "hot-kitchen", failed)) {
            if (file.path().extension() != ".txt") {
                continue;
            }
            const std::string text = readFile(file.path());
            std::smatch match;
            if (text.find("点菜单") == std::string::npos ||
                !std::regex_search(text, match, billPattern)) {
                continue;
            }
            const int bill = std::stoi(match[1]);
            if (!printed.contains(bill)) {
                if (const auto at = modified(file.path())) {
                    printed[bill] = *at;
                }
            }
        }
    }
    station.stop();

    std::map<int, Clock::time_point> frames;
    int refusals = 0;
    std::size_t framesSent = 0;
    {
        const std::lock_guard lock(mutex);
        frames = sentByBill;
        refusals = refused;
        framesSent = sent.size();
    }
    std::vector<double> latencies;
    std::printf("order-to-ticket: %d orders, one every %d polls of the handheld\n", orders, every);
    std::printf("per order, request frame to ticket file (ms):\n");
    int column = 0;
    for (const auto& [bill, at] : frames) {
        const auto ticket = printed.find(bill);
        if (ticket == printed.end()) {
            std::printf("%6s", "-");
        } else {
            const double ms =
                std::chrono::duration<double, std::milli>(ticket->second - at).count();
            latencies.push_back(ms);
            std::printf("%6.0f", ms);
        }
        std::printf("%s", ++column % 10 == 0 ? "\n" : " ");
    }
    if (column % 10 != 0) {
        std::printf("\n");
    }
    std::printf("order frames sent %zu, answered with a bill %zu, refused %d, no answer %d\n",
                framesSent, frames.size(), refusals,
                orders - static_cast<int>(frames.size()) - refusals);
    if (latencies.empty()) {
        std::printf("no ticket arrived (logs in %s with KEEP_TEST_FOLDER=1)\n",
                    root.path().c_str());
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const std::size_t n = latencies.size();
    const double median =
        n % 2 == 1 ? latencies[n / 2] : (latencies[n / 2 - 1] + latencies[n / 2]) / 2;
    std::printf("tickets %zu of %zu recorded orders\n", n, frames.size());
    std::printf("median %.0f ms, best %.0f ms, worst %.0f ms; cycle pause %s (the floor)\n", median,
                latencies.front(), latencies.back(), cyclePause(paths.home).c_str());
    return n == static_cast<std::size_t>(orders) ? 0 : 1;
}
