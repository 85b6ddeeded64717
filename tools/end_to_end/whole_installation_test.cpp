// From a handheld's order to kitchen paper with the real programs: the
// base-station simulator sends one waiter's requests over a pseudo-terminal,
// Padlink turns them into request lines, the front end simulator records them
// in the POS file, and Cookhub, watching that file, prints the tickets on the
// stations' file printers. Everything runs in a private folder; the only
// sockets are Unix sockets there and 127.0.0.1.
#include "waiter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// GBK with CR LF, as the POS's installer writes the bridge's settings.
bool writeGbk(const fs::path& file, const std::string& utf8) {
    const fs::path plain = file.string() + ".utf8";
    std::ofstream(plain, std::ios::binary) << utf8;
    const std::string command =
        "sed 's/$/\\r/' '" + plain.string() + "' | iconv -f UTF-8 -t GBK > '" + file.string() + "'";
    const bool ok = std::system(command.c_str()) == 0;
    fs::remove(plain);
    return ok;
}

// A program of the installation with its output in a log file; ended by
// SIGTERM (SIGKILL when it does not go within five seconds).
class Program {
  public:
    Program(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& log) {
        pid_ = fork();
        if (pid_ != 0) {
            return;
        }
        // A test that dies must not leave the installation running.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ~Program() {
        if (pid_ <= 0) {
            return;
        }
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool started() const { return pid_ > 0; }
    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  private:
    pid_t pid_ = -1;
};

class Folder {
  public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "whole-installation-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~Folder() {
        std::error_code ignored;
        if (!path_.empty() && std::getenv("KEEP_TEST_FOLDER") == nullptr) {
            fs::remove_all(path_, ignored);
        }
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Ticket texts (the file printers' UTF-8 renderings) per printer name.
std::map<std::string, std::vector<std::string>> tickets(const fs::path& printers) {
    std::map<std::string, std::vector<std::string>> found;
    std::error_code failed;
    for (const auto& printer : fs::directory_iterator(printers, failed)) {
        for (const auto& file : fs::directory_iterator(printer.path(), failed)) {
            if (file.path().extension() == ".txt") {
                found[printer.path().filename().string()].push_back(readFile(file.path()));
            }
        }
    }
    return found;
}

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
    ASSERT_FALSE(root.path().empty());
    const fs::path home = root.path() / "home";  // Cookhub's, with pos.db
    const fs::path pad = root.path() / "padlink";
    const fs::path txt = pad / "TXT";
    const fs::path printers = root.path() / "printers";
    for (const char* sub : {"run", "ipc"}) {
        fs::create_directories(root.path() / sub);
        fs::permissions(root.path() / sub, fs::perms::owner_all);
    }
    fs::create_directories(txt);
    fs::create_directories(printers);
    setenv("XDG_RUNTIME_DIR", (root.path() / "run").c_str(), 1);
    setenv("PADLINK_IPC_DIR", (root.path() / "ipc").c_str(), 1);
    setenv("COOKHUB_HOME", home.c_str(), 1);
    setenv("COOKHUB_PRINTER_DIR", printers.c_str(), 1);
    setenv("COOKHUB_SSRP_TARGET", "127.0.0.1:1434", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("COOKHUB_AUTO_ANSWER", "ok", 1);
    setenv("PADLINK_AUTO_ANSWER", "ok", 1);

    const std::string scripts = SOURCE_DIR "/tools/";
    ASSERT_EQ(std::system((scripts + "make-demo-home.sh '" + home.string() +
                           "' '" COOKHUB_BIN_DIR "' >/dev/null")
                              .c_str()),
              0);
    const fs::path db = home / "pos.db";
    ASSERT_EQ(std::system((scripts + "export-table-files.sh '" + db.string() + "' '" +
                           txt.string() + "' >/dev/null")
                              .c_str()),
              0);

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
    ASSERT_TRUE(writeGbk(txt / "系统时间.txt",
                         "轮循间隔:30\n读取超时:30\n读取时间间隔:30\n调试信息输出:0\n"));
    ASSERT_TRUE(writeGbk(txt / "基站.txt", pty + ",001\n"));
    ASSERT_TRUE(writeGbk(txt / "点菜机.txt", "1,0a0b0c\n"));

    Program frontEnd(
        {FRONTEND_SIM_PROGRAM, "--home", pad.string(), "--title", "POSFront", "--pos", db.string()},
        pad, root.path() / "frontend.log");
    for (int i = 0; i < 100 && !fs::exists(root.path() / "ipc" / "POSFront"); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(fs::exists(root.path() / "ipc" / "POSFront"))
        << readFile(root.path() / "frontend.log");
    Program padlink({PADLINK_PROGRAM, "POSFront"}, pad, root.path() / "padlink.log");
    Program cookhub({COOKHUB_PROGRAM}, home, root.path() / "cookhub.log");

    // Tickets of table A05 by station printer and kind, once all four are there.
    const auto ofTable = [&](const std::string& printer, const std::string& kind) {
        std::vector<std::string> found;
        auto all = tickets(printers);
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
    EXPECT_TRUE(padlink.running());
    EXPECT_TRUE(cookhub.running());

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
