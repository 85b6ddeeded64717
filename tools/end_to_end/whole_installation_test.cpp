// From a handheld's order to kitchen paper with the real programs: the
// base-station simulator sends one waiter's requests over a pseudo-terminal,
// Padlink turns them into request lines, the front end simulator records them
// in the POS file, and Cookhub, watching that file, prints the tickets on the
// stations' file printers. Everything runs in a private folder; the only
// sockets are Unix sockets there and 127.0.0.1.
#include "installation.h"
#include "waiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace installation;
using namespace std::chrono_literals;

bool contains(const std::string& text, const std::vector<std::string>& parts) {
    for (const auto& part : parts) {
        if (text.find(part) == std::string::npos) {
            return false;
        }
    }
    return true;
}

// The ticket line of a dish: from its name to the line's end.
std::string dishLine(const std::string& ticket, const std::string& dish) {
    const std::size_t at = ticket.find(dish);
    if (at == std::string::npos) {
        return {};
    }
    return ticket.substr(at, ticket.find('\n', at) - at);
}

TEST(WholeInstallation, AHandheldsOrderAndReturnBecomeTicketsOnTheRightStations) {
    Folder root;
    Paths paths;
    const std::string prepared = prepare(root.path(), paths);
    ASSERT_EQ(prepared, "");

    // The handhelds' menu is the POS's: the dishes below are in it, and their
    // table 5 is the POS's A05 (大厅5号, GBK in the file).
    const auto menu = basestation::readMenu(paths.txt);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->tables, 10);
    for (int dish : {1001, 2001, 4001}) {
        EXPECT_NE(std::find(menu->dishes.begin(), menu->dishes.end(), dish), menu->dishes.end());
    }
    EXPECT_NE(readFile(paths.txt / "房台表.txt")
                  .find("\r\n5,\xb4\xf3\xcc\xfc"
                        "5\xba\xc5,"),
              std::string::npos);

    // One waiter (handheld 0a0b0c, number 1, operator 1002) at table 5 (A05):
    // 宫保鸡丁 x1.5 少放花生 (hot kitchen), 拍黄瓜 x2 少辣 (cold room), 青岛啤酒
    // (bar); then one 宫保鸡丁 goes back.
    constexpr std::uint8_t kAddress = 0x0c;
    using basestation::OrderItem;
    const std::vector<OrderItem> order{
        {1001, 5, 1, 0, 15, {3}}, {2001, 5, 1, 0, 20, {1}}, {4001, 5, 1, 0, 10, {}}};
    const std::vector<basestation::Bytes> frames{
        basestation::loginFrame(kAddress, 1, "1002"),
        basestation::openTableFrame(kAddress, 5, 3, 1),
        basestation::orderFrame(kAddress, order),
        basestation::returnFrame(kAddress, {1001, 5, 1, 0, 10, {}}),
    };
    {
        std::ofstream out(root.path() / "waiter.hex");
        for (const auto& frame : frames) {
            for (auto byte : frame) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02x ", byte);
                out << hex;
            }
            out << '\n';
        }
    }

    Program station({BASESTATION_SIM_PROGRAM, "--every", "2", "--handheld",
                     "0a0b0c:once:" + (root.path() / "waiter.hex").string()},
                    root.path(), root.path() / "station.log");
    ASSERT_TRUE(station.started());
    std::string pty;
    for (int i = 0; i < 100 && pty.empty(); ++i) {
        std::this_thread::sleep_for(50ms);
        const std::string out = readFile(root.path() / "station.log");
        if (out.find('\n') != std::string::npos) {
            pty = out.substr(0, out.find('\n'));
        }
    }
    ASSERT_EQ(pty.rfind("/dev/pts/", 0), 0u) << pty;
    ASSERT_EQ(writeBridgeSettings(paths, pty, {"0a0b0c"}), "");
    Programs programs(paths);
    ASSERT_TRUE(programs.frontEndOpen) << readFile(root.path() / "frontend.log");

    // Tickets of table A05 by station printer and kind, once all four are there.
    const auto ofTable = [&](const std::string& printer, const std::string& kind) {
        std::vector<std::string> found;
        auto all = tickets(paths.printers);
        for (const auto& ticket : all[printer]) {
            if (contains(ticket, {"桌号 A05", kind})) {
                found.push_back(ticket);
            }
        }
        return found;
    };
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while (std::chrono::steady_clock::now() < deadline &&
           (ofTable("hot-kitchen", "点菜单").empty() || ofTable("hot-kitchen", "退菜单").empty() ||
            ofTable("cold-kitchen", "点菜单").empty() || ofTable("bar", "点菜单").empty())) {
        std::this_thread::sleep_for(200ms);
    }
    const std::string logs = "\nfront end:\n" + readFile(root.path() / "frontend.log") +
                             "\ncookhub:\n" + readFile(root.path() / "cookhub.log");
    EXPECT_TRUE(programs.padlink->running());
    EXPECT_TRUE(programs.cookhub->running());

    const auto hot = ofTable("hot-kitchen", "点菜单");
    ASSERT_EQ(hot.size(), 1u) << logs;
    EXPECT_TRUE(contains(hot[0], {"大厅5号", "宫保鸡丁", "少放花生", "服务员小李"})) << hot[0];
    EXPECT_NE(dishLine(hot[0], "宫保鸡丁").find("1.5"), std::string::npos) << hot[0];
    EXPECT_EQ(hot[0].find("拍黄瓜"), std::string::npos) << hot[0];
    EXPECT_EQ(hot[0].find("青岛啤酒"), std::string::npos) << hot[0];

    const auto cold = ofTable("cold-kitchen", "点菜单");
    ASSERT_EQ(cold.size(), 1u) << logs;
    EXPECT_TRUE(contains(cold[0], {"拍黄瓜", "少辣"})) << cold[0];
    EXPECT_NE(dishLine(cold[0], "拍黄瓜").find('2'), std::string::npos) << cold[0];
    EXPECT_EQ(cold[0].find("宫保鸡丁"), std::string::npos) << cold[0];

    const auto bar = ofTable("bar", "点菜单");
    ASSERT_EQ(bar.size(), 1u) << logs;
    EXPECT_TRUE(contains(bar[0], {"青岛啤酒"})) << bar[0];
    EXPECT_EQ(bar[0].find("宫保鸡丁"), std::string::npos) << bar[0];

    const auto back = ofTable("hot-kitchen", "退菜单");
    ASSERT_EQ(back.size(), 1u) << logs;
    EXPECT_NE(dishLine(back[0], "宫保鸡丁").find('1'), std::string::npos) << back[0];
    EXPECT_EQ(back[0].find("拍黄瓜"), std::string::npos) << back[0];
}

}  // namespace
