// basestation-sim: a base station with handhelds on a pseudo-terminal, for the
// demo and for black-box runs of the bridge. Prints the slave path on the
// first line of standard output, then answers polls until SIGINT or SIGTERM.
// It never touches a real serial device.
#include "base_station_sim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int) { stopSignal = 1; }

void usage() {
    std::fprintf(stderr,
                 "usage: basestation-sim [--handheld ADDRESS[:MODE[:FILE]]]... [--every N]\n"
                 "                       [--reply-delay-ms MS] [--verbose]\n"
                 "  ADDRESS  six hex digits as in the handheld file, e.g. 0a0b0c\n"
                 "  MODE     silent (default), frames, badcrc or garbage\n"
                 "  FILE     hexadecimal frames, one per line (frames, badcrc); without it\n"
                 "           a sound request with command 0x31 is sent\n"
                 "  --every N  the handhelds named after it answer only every N-th poll\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace basestation;
    BaseStationSim sim;
    if (!sim.ok()) {
        std::fprintf(stderr, "basestation-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    int every = 1;
    bool verbose = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--handheld" && a + 1 < argc) {
            const std::string option = argv[++a];
            const std::size_t first = option.find(':');
            const std::size_t second = first == std::string::npos ? first : option.find(':', first + 1);
            HandheldScript script;
            const auto address = parseAddress(option.substr(0, first));
            if (!address) {
                std::fprintf(stderr, "basestation-sim: bad address in %s\n", option.c_str());
                return 2;
            }
            script.address = *address;
            script.every = every;
            const std::string mode =
                first == std::string::npos ? "silent" : option.substr(first + 1, second - first - 1);
            if (mode == "silent") {
                script.mode = ReplyMode::silent;
            } else if (mode == "frames") {
                script.mode = ReplyMode::frames;
            } else if (mode == "badcrc") {
                script.mode = ReplyMode::badCrc;
            } else if (mode == "garbage") {
                script.mode = ReplyMode::garbage;
            } else {
                std::fprintf(stderr, "basestation-sim: unknown mode %s\n", mode.c_str());
                return 2;
            }
            if (second != std::string::npos) {
                const auto frames = readHexFrames(option.substr(second + 1));
                if (!frames) {
                    std::fprintf(stderr, "basestation-sim: cannot read frames from %s\n",
                                 option.substr(second + 1).c_str());
                    return 2;
                }
                script.frames = *frames;
            }
            sim.addHandheld(std::move(script));
        } else if (arg == "--every" && a + 1 < argc) {
            every = std::max(1, std::atoi(argv[++a]));
        } else if (arg == "--reply-delay-ms" && a + 1 < argc) {
            sim.setReplyDelay(std::chrono::milliseconds(std::max(0, std::atoi(argv[++a]))));
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            usage();
            return 2;
        }
    }
    if (verbose) {
        sim.setObserver([](std::string_view line) {
            std::fprintf(stderr, "basestation-sim: %.*s\n", static_cast<int>(line.size()), line.data());
        });
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("%s\n", sim.slavePath().c_str());
    std::fflush(stdout);
    sim.start();
    while (stopSignal == 0) {
        usleep(100'000);
    }
    sim.stop();
    std::fprintf(stderr, "basestation-sim: %zu polls\n", sim.pollCount());
    return 0;
}
