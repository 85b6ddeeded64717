// poll-timing [SECONDS] [--padlink PATH]: starts the padlink executable in a
// scratch folder on simulated base stations whose handhelds stay silent, and
// prints, per phase (one station, then eight), the measured poll period of
// each handheld beside the period the timing file predicts, and the bridge's
// CPU time and resident memory. It never writes outside its scratch folder.
#include "app/gbk_text.h"
#include "base_station_sim.h"
#include "logs/program_log.h"
#include "platform/window_messages.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;
using basestation::BaseStationSim;

constexpr int kPollInterval = 30;
constexpr int kReadTimeout = 30;
constexpr int kReadInterval = 30;
constexpr int kHandheldsPerStation = 3;

// A silent handheld costs the read's total time-out for one byte (plus its
// 5 ms constant), one settle delay and the pause. On a pseudo-terminal the
// write returns at once; on a 9600 baud line add about 7.3 ms for 7 bytes.
constexpr double kPredictedPerPoll = kReadTimeout * 1 + 5 + kReadInterval + kPollInterval;

struct ProcessTimes {
    double cpuSeconds = 0;
    long rssKb = 0;
};

ProcessTimes sample(pid_t pid) {
    ProcessTimes times;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t close = text.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        std::vector<std::string> values;
        while (fields >> field) {
            values.push_back(field);
        }
        if (values.size() > 13) {  // utime and stime are fields 14 and 15
            times.cpuSeconds = (std::stod(values[11]) + std::stod(values[12])) /
                               static_cast<double>(sysconf(_SC_CLK_TCK));
        }
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            times.rssKb = std::atol(line.c_str() + 6);
        }
    }
    return times;
}

void writeGbk(const std::filesystem::path& file, const std::string& utf8) {
    std::ofstream out(file, std::ios::binary);
    out << padlink::toGbk(QString::fromStdString(utf8));
}

struct Phase {
    int stations;
    double seconds;
};

int runPhase(const std::filesystem::path& padlink, const std::filesystem::path& scratch, Phase phase) {
    std::vector<std::unique_ptr<BaseStationSim>> sims;
    std::string stationLines;
    std::string handheldLines;
    for (int s = 0; s < phase.stations; ++s) {
        sims.push_back(std::make_unique<BaseStationSim>());
        if (!sims.back()->ok()) {
            std::fprintf(stderr, "poll-timing: no pseudo-terminal\n");
            return 1;
        }
        sims.back()->start();
        stationLines += sims.back()->slavePath() + "," + std::to_string(s + 1) + "\n";
        for (int h = 0; h < kHandheldsPerStation; ++h) {
            char address[16];
            std::snprintf(address, sizeof address, "0a%02x%02x", s + 1, h + 1);
            handheldLines += std::to_string(s + 1) + "," + address + "\n";
        }
    }
    const auto work = scratch / ("stations-" + std::to_string(phase.stations));
    std::filesystem::create_directories(work / "TXT");
    writeGbk(work / "TXT" / "系统时间.txt", "轮循间隔:" + std::to_string(kPollInterval) + "\n读取超时:" +
                                              std::to_string(kReadTimeout) + "\n读取时间间隔:" +
                                              std::to_string(kReadInterval) + "\n");
    writeGbk(work / "TXT" / "基站.txt", stationLines);
    writeGbk(work / "TXT" / "点菜机.txt", handheldLines);

    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(work.c_str()) != 0) {
            _exit(127);
        }
        execl(padlink.c_str(), padlink.c_str(), "PollTimingFront", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Measure from the first poll of every station on, so start-up is not counted.
    for (auto& sim : sims) {
        if (!sim->waitFor([](const auto& polls) { return !polls.empty(); }, seconds(60))) {
            std::fprintf(stderr, "poll-timing: the bridge did not poll\n");
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return 1;
        }
    }
    const auto from = steady_clock::now();
    const ProcessTimes before = sample(pid);
    std::this_thread::sleep_for(duration<double>(phase.seconds));
    const ProcessTimes after = sample(pid);
    const double elapsed = duration<double>(steady_clock::now() - from).count();

    if (const auto window = padlink::findWindow("Padlink")) {
        padlink::sendCopyData(*window, 0, "TC");
    }
    waitpid(pid, nullptr, 0);

    const double predicted = kPredictedPerPoll * kHandheldsPerStation;
    std::printf("\n%d station(s), %d silent handhelds each, %.1f s measured\n", phase.stations,
                kHandheldsPerStation, elapsed);
    std::printf("  station  handheld  polls  period mean ms  min ms  max ms  predicted ms  diff ms\n");
    double worst = 0;
    for (int s = 0; s < phase.stations; ++s) {
        std::map<int, std::vector<double>> byHandheld;
        for (const auto& poll : sims[static_cast<std::size_t>(s)]->polls()) {
            if (poll.at >= from) {
                byHandheld[poll.bytes[0]].push_back(duration<double, std::milli>(poll.at - from).count());
            }
        }
        for (const auto& [low, times] : byHandheld) {
            if (times.size() < 2) {
                continue;
            }
            std::vector<double> gaps;
            for (std::size_t k = 1; k < times.size(); ++k) {
                gaps.push_back(times[k] - times[k - 1]);
            }
            const double mean = (times.back() - times.front()) / static_cast<double>(gaps.size());
            worst = std::max(worst, std::abs(mean - predicted));
            std::printf("  %7d  0a%02x%02x  %5zu  %14.2f  %6.2f  %6.2f  %12.1f  %+7.2f\n", s + 1, s + 1,
                        low, times.size(), mean, *std::min_element(gaps.begin(), gaps.end()),
                        *std::max_element(gaps.begin(), gaps.end()), predicted, mean - predicted);
        }
    }
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    std::printf("  worst |mean - predicted|: %.2f ms\n", worst);
    std::printf("  bridge CPU: %.2f s in %.1f s = %.2f %% of one core (%.3f %% per station)\n", cpu,
                elapsed, 100.0 * cpu / elapsed, 100.0 * cpu / elapsed / phase.stations);
    std::printf("  bridge resident memory: %.1f MB\n", static_cast<double>(after.rssKb) / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 30;
    std::filesystem::path padlink = padlink::programFolder() / "padlink";
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--padlink" && a + 1 < argc) {
            padlink = argv[++a];
        } else if (std::atof(arg.c_str()) > 0) {
            seconds = std::atof(arg.c_str());
        } else {
            std::fprintf(stderr, "usage: poll-timing [SECONDS] [--padlink PATH]\n");
            return 2;
        }
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "poll-timing-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const std::filesystem::path scratch(pattern);
    // The bridge's lock, window and logs stay in the scratch folder.
    std::filesystem::create_directories(scratch / "run");
    std::filesystem::create_directories(scratch / "ipc");
    std::filesystem::permissions(scratch / "run", std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (scratch / "run").c_str(), 1);
    setenv("PADLINK_IPC_DIR", (scratch / "ipc").c_str(), 1);
    setenv("PADLINK_TRAFFIC_LOG", (scratch / "Log.txt").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("PADLINK_AUTO_ANSWER", "ok", 1);

    std::printf("poll-timing: %s, timing %d/%d/%d ms (pause/read time-out/settle), predicted %.0f ms per poll\n",
                padlink.c_str(), kPollInterval, kReadTimeout, kReadInterval, kPredictedPerPoll);
    int rc = runPhase(padlink, scratch, {1, seconds});
    if (rc == 0) {
        rc = runPhase(padlink, scratch, {8, seconds});
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return rc;
}
