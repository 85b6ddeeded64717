// padlink-recovery [ROUNDS] [--padlink PATH]: starts the padlink executable in
// a scratch folder and prints how long it takes
//  - with its port pulled: to tell the front end "COMFL", and, once plugged in
//    again, to poll again; and the bridge's CPU time while the port is gone;
//  - with "TC" sent in the middle of an update download whose handheld asks
//    for the same packet for ever: to end, and for a new bridge started at
//    once to open its window and poll.
// The port is a link to a simulated base station's pseudo-terminal: pulling
// closes the far end and removes the link. It never writes outside its
// scratch folder (and the debug.log beside the executable).
#include "app/gbk_text.h"
#include "base_station_sim.h"
#include "logs/program_log.h"
#include "platform/window_messages.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;
using basestation::BaseStationSim;
using Clock = steady_clock;

double cpuSecondsOf(const std::string& statPath);

double cpuSeconds(pid_t pid) {
    return cpuSecondsOf("/proc/" + std::to_string(pid) + "/stat");
}

// CPU time of the process's threads other than the window's (the main thread):
// the poll thread, the listener and the notice threads.
double workerCpuSeconds(pid_t pid) {
    double total = 0;
    std::error_code failed;
    const std::string main = std::to_string(pid);
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + main + "/task", failed)) {
        if (task.path().filename() != main) {
            total += cpuSecondsOf((task.path() / "stat").string());
        }
    }
    return total;
}

double cpuSecondsOf(const std::string& statPath) {
    std::ifstream stat(statPath);
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::vector<std::string> values;
    for (std::string field; fields >> field;) {
        values.push_back(field);
    }
    if (values.size() <= 13) {
        return 0;
    }
    return (std::stod(values[11]) + std::stod(values[12])) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

void writeGbk(const std::filesystem::path& file, const std::string& utf8) {
    std::ofstream out(file, std::ios::binary);
    out << padlink::toGbk(QString::fromStdString(utf8));
}

double ms(Clock::duration d) {
    return duration<double, std::milli>(d).count();
}

bool waitUntil(const std::function<bool()>& condition, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

// The front end's window: records when each "COMFL" arrived.
class FrontEnd {
  public:
    FrontEnd()
        : window_("RecoveryFront", [this](const padlink::WindowMessage& message) {
              if (message.text() == "COMFL") {
                  const std::lock_guard lock(mutex_);
                  comfl_.push_back(Clock::now());
              }
              return 1u;
          }) {}
    std::vector<Clock::time_point> comfl() const {
        const std::lock_guard lock(mutex_);
        return comfl_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> comfl_;
    padlink::WindowServer window_;
};

pid_t startBridge(const std::filesystem::path& padlink, const std::filesystem::path& work) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(work.c_str()) != 0) {
            _exit(127);
        }
        execl(padlink.c_str(), padlink.c_str(), "RecoveryFront", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool endBridge(pid_t pid) {
    if (const auto window = padlink::findWindow("Padlink")) {
        padlink::sendCopyData(*window, 0, "TC");
    }
    for (int i = 0; i < 10000; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

const char* kTiming = "轮循间隔:30\n读取超时:30\n读取时间间隔:30\n";

int cable(const std::filesystem::path& padlink, const std::filesystem::path& scratch, int rounds) {
    const auto work = scratch / "cable";
    const auto port = scratch / "ttyUSB0";
    std::filesystem::create_directories(work / "TXT");
    writeGbk(work / "TXT" / "系统时间.txt", kTiming);
    writeGbk(work / "TXT" / "基站.txt", port.string() + ",5\n");
    writeGbk(work / "TXT" / "点菜机.txt", "5,0a0b0c\n");
    auto sim = std::make_unique<BaseStationSim>();
    sim->start();
    std::filesystem::create_symlink(sim->slavePath(), port);
    FrontEnd front;
    const pid_t pid = startBridge(padlink, work);
    if (!sim->waitFor([](const auto& polls) { return !polls.empty(); }, seconds(60))) {
        std::fprintf(stderr, "padlink-recovery: the bridge did not poll\n");
        endBridge(pid);
        return 1;
    }
    std::printf("\npulled port (reopened every 3 s), %d rounds\n", rounds);
    std::printf("  (CPU from /proc, in clock ticks of 0.01 s)\n");
    std::printf(
        "  round  pulled->COMFL ms  CPU while gone (6 s)  of it not the window  plugged->first "
        "poll ms\n");
    for (int round = 1; round <= rounds; ++round) {
        std::this_thread::sleep_for(milliseconds(500));
        const std::size_t told = front.comfl().size();
        std::filesystem::remove(port);
        const auto pulled = Clock::now();
        sim.reset();
        if (!waitUntil([&] { return front.comfl().size() > told; }, seconds(30))) {
            std::fprintf(stderr, "padlink-recovery: no COMFL\n");
            endBridge(pid);
            return 1;
        }
        const double toComfl = ms(front.comfl().back() - pulled);
        const double cpuBefore = cpuSeconds(pid);
        const double workersBefore = workerCpuSeconds(pid);
        std::this_thread::sleep_for(seconds(6));
        const double cpu = cpuSeconds(pid) - cpuBefore;
        const double workers = workerCpuSeconds(pid) - workersBefore;
        sim = std::make_unique<BaseStationSim>();
        sim->start();
        std::filesystem::create_symlink(sim->slavePath(), port);
        const auto plugged = Clock::now();
        if (!sim->waitFor([](const auto& polls) { return !polls.empty(); }, seconds(30))) {
            std::fprintf(stderr, "padlink-recovery: polling did not resume\n");
            endBridge(pid);
            return 1;
        }
        const double toPoll = ms(sim->polls().front().at - plugged);
        std::printf("  %5d  %16.1f  %8.2f s (%5.3f %%)  %18.2f s  %22.1f\n", round, toComfl, cpu,
                    100.0 * cpu / 6.0, workers, toPoll);
        std::fflush(stdout);
    }
    std::printf("  COMFL notices in all: %zu\n", front.comfl().size());
    endBridge(pid);
    return 0;
}

int restart(const std::filesystem::path& padlink, const std::filesystem::path& scratch,
            int rounds) {
    const auto work = scratch / "restart";
    std::filesystem::create_directories(work / "TXT");
    BaseStationSim sim;
    basestation::HandheldScript stuck;
    stuck.address = {0x0c, 0x0b, 0x0a};
    stuck.mode = basestation::ReplyMode::updateDownload;
    basestation::DownloadScript forever;
    forever.peer.versionRows = {{1, 1, 1, 1, 1, 1, 1}};
    forever.peer.repeatForeverFrom = 1;
    sim.addHandheld(stuck, forever);
    sim.start();
    writeGbk(work / "TXT" / "系统时间.txt", kTiming);
    writeGbk(work / "TXT" / "基站.txt", sim.slavePath() + ",1\n");
    writeGbk(work / "TXT" / "点菜机.txt", "1,0a0b0c\n");
    std::string dishes;
    for (int i = 1; i <= 200; ++i) {
        dishes += std::to_string(i) + ",1,1,D" + std::to_string(i) + ",菜" + std::to_string(i) +
                  ",1800,1\n";
    }
    writeGbk(work / "TXT" / "菜品信息表.txt", dishes);
    writeGbk(work / "TXT" / "数据库版本.txt", "1,1,1,1,1,1,2\n");

    std::printf(
        "\nTC in the middle of an update download (handheld stuck on one packet), %d rounds\n",
        rounds);
    std::printf("  round  TC->exit ms  exit->new window ms  exit->first poll ms\n");
    // Counted before each start: the new bridge's first poll may begin the next
    // download before the round looks.
    int started = sim.downloadsStarted();
    pid_t pid = startBridge(padlink, work);
    for (int round = 1; round <= rounds; ++round) {
        if (!waitUntil([&] { return sim.downloadsStarted() > started; }, seconds(60))) {
            std::fprintf(stderr, "padlink-recovery: no download began\n");
            endBridge(pid);
            return 1;
        }
        std::this_thread::sleep_for(milliseconds(1500));
        const auto tc = Clock::now();
        if (!endBridge(pid)) {
            std::fprintf(stderr, "padlink-recovery: the bridge outlived TC\n");
            return 1;
        }
        const auto ended = Clock::now();
        const std::size_t polls = sim.pollCount();
        started = sim.downloadsStarted();
        pid = startBridge(padlink, work);
        if (!waitUntil([] { return padlink::findWindow("Padlink").has_value(); }, seconds(60)) ||
            !sim.waitFor([&](const auto& all) { return all.size() > polls; }, seconds(60))) {
            std::fprintf(stderr, "padlink-recovery: the new bridge did not come up\n");
            endBridge(pid);
            return 1;
        }
        const auto window = Clock::now();
        std::vector<basestation::Poll> all = sim.polls();
        std::printf("  %5d  %11.1f  %19.1f  %19.1f\n", round, ms(ended - tc), ms(window - ended),
                    ms(all[polls].at - ended));
        std::fflush(stdout);
    }
    endBridge(pid);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    std::filesystem::path padlink = padlink::programFolder() / "padlink";
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--padlink" && a + 1 < argc) {
            padlink = argv[++a];
        } else if (std::atoi(arg.c_str()) > 0) {
            rounds = std::atoi(arg.c_str());
        } else {
            std::fprintf(stderr, "usage: padlink-recovery [ROUNDS] [--padlink PATH]\n");
            return 2;
        }
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "padlink-recovery-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const std::filesystem::path scratch(pattern);
    std::filesystem::create_directories(scratch / "run");
    std::filesystem::create_directories(scratch / "ipc");
    std::filesystem::permissions(scratch / "run", std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (scratch / "run").c_str(), 1);
    setenv("PADLINK_IPC_DIR", (scratch / "ipc").c_str(), 1);
    setenv("PADLINK_TRAFFIC_LOG", (scratch / "Log.txt").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("PADLINK_AUTO_ANSWER", "ok", 1);
    std::printf("padlink-recovery: %s\n", padlink.c_str());
    int rc = cable(padlink, scratch, rounds);
    if (rc == 0) {
        rc = restart(padlink, scratch, rounds);
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return rc;
}
