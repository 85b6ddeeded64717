// basestation-sim: a base station with handhelds on a pseudo-terminal, for the
// demo and for black-box runs of the bridge. Prints the slave path on the
// first line of standard output, then answers polls until SIGINT or SIGTERM.
// It never touches a real serial device.
#include "base_station_sim.h"
#include "waiter.h"

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int) {
    stopSignal = 1;
}

void usage() {
    std::fprintf(
        stderr,
        "usage: basestation-sim [--handheld ADDRESS[:MODE[:FILE]]]... [--every N]\n"
        "                       [--reply-delay-ms MS] [--tables-out DIR] [--verbose]\n"
        "                       [--max-downloads N] [--repeat-packet K] [--drop-status F]\n"
        "                       [--silent-after F]\n"
        "  ADDRESS  six hex digits as in the handheld file, e.g. 0a0b0c\n"
        "  MODE     silent (default), frames, once, badcrc, garbage, manual, update or waiter\n"
        "  FILE     frames, badcrc: hexadecimal frames, one per line; without it a\n"
        "           sound request with command 0x31 is sent; once: the FILE's frames\n"
        "           one after another, each once, then silence\n"
        "           update: the handheld's version rows, 7 integers a line as in\n"
        "           the version file; without it the handheld asks for nothing\n"
        "           waiter: the TXT folder with the table files the POS exported; the\n"
        "           handheld logs in, opens a table, orders dishes of that menu with\n"
        "           remarks, now and then hurries or returns one, and checks out\n"
        "  manual   answers download polls with a manual download request\n"
        "  update   answers a poll with an update request\n"
        "The options below apply to the handhelds named after them:\n"
        "  --every N          answer only every N-th poll (update: ask every N-th poll)\n"
        "  --operator DIGITS  the operator a waiter logs in as (default 1001); waiters\n"
        "                     send the handheld numbers 1, 2, ... in the order named\n"
        "  --max-downloads N  ask for at most N downloads\n"
        "  --repeat-packet K  ask once for packet K of the first table again (0xFF)\n"
        "  --drop-status F    lose the status that answers bridge frame F once\n"
        "  --silent-after F   stop answering after F bridge frames\n"
        "  --tables-out DIR   write each table received whole to DIR\n"
        "                     (ADDRESS-manual-NN.bin, ADDRESS-update-NN.bin)\n");
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
    int maxDownloads = -1;
    handheld::PeerScript misbehaviour;
    bool verbose = false;
    std::string operatorDigits = "1001";
    int waiters = 0;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--handheld" && a + 1 < argc) {
            const std::string option = argv[++a];
            const std::size_t first = option.find(':');
            const std::size_t second =
                first == std::string::npos ? first : option.find(':', first + 1);
            HandheldScript script;
            const auto address = parseAddress(option.substr(0, first));
            if (!address) {
                std::fprintf(stderr, "basestation-sim: bad address in %s\n", option.c_str());
                return 2;
            }
            script.address = *address;
            script.every = every;
            DownloadScript download{misbehaviour, maxDownloads};
            const std::string mode = first == std::string::npos
                                         ? "silent"
                                         : option.substr(first + 1, second - first - 1);
            if (mode == "silent") {
                script.mode = ReplyMode::silent;
            } else if (mode == "frames" || mode == "once") {
                script.mode = ReplyMode::frames;
                script.once = mode == "once";
            } else if (mode == "badcrc") {
                script.mode = ReplyMode::badCrc;
            } else if (mode == "garbage") {
                script.mode = ReplyMode::garbage;
            } else if (mode == "manual") {
                script.mode = ReplyMode::manualDownload;
            } else if (mode == "update") {
                script.mode = ReplyMode::updateDownload;
            } else if (mode == "waiter" && second != std::string::npos) {
                const auto menu = readMenu(option.substr(second + 1));
                if (!menu) {
                    std::fprintf(stderr, "basestation-sim: no dishes or tables in %s\n",
                                 option.substr(second + 1).c_str());
                    return 2;
                }
                script.mode = ReplyMode::frames;
                script.frames =
                    waiterFrames(script.address[0], ++waiters, operatorDigits, *menu, 200);
                sim.addHandheld(std::move(script), std::move(download));
                continue;
            } else {
                std::fprintf(stderr, "basestation-sim: unknown mode %s\n", mode.c_str());
                return 2;
            }
            if (second != std::string::npos && script.mode == ReplyMode::updateDownload) {
                const auto rows = readVersionRows(option.substr(second + 1));
                if (!rows) {
                    std::fprintf(stderr, "basestation-sim: cannot read version rows from %s\n",
                                 option.substr(second + 1).c_str());
                    return 2;
                }
                download.peer.versionRows = *rows;
            } else if (second != std::string::npos) {
                const auto frames = readHexFrames(option.substr(second + 1));
                if (!frames) {
                    std::fprintf(stderr, "basestation-sim: cannot read frames from %s\n",
                                 option.substr(second + 1).c_str());
                    return 2;
                }
                script.frames = *frames;
            }
            sim.addHandheld(std::move(script), std::move(download));
        } else if (arg == "--every" && a + 1 < argc) {
            every = std::max(1, std::atoi(argv[++a]));
        } else if (arg == "--operator" && a + 1 < argc) {
            operatorDigits = argv[++a];
        } else if (arg == "--max-downloads" && a + 1 < argc) {
            maxDownloads = std::atoi(argv[++a]);
        } else if (arg == "--repeat-packet" && a + 1 < argc) {
            misbehaviour.repeatPacket = std::atoi(argv[++a]);
        } else if (arg == "--drop-status" && a + 1 < argc) {
            misbehaviour.dropStatusAt = std::atoi(argv[++a]);
        } else if (arg == "--silent-after" && a + 1 < argc) {
            misbehaviour.silentAfter = std::atoi(argv[++a]);
        } else if (arg == "--tables-out" && a + 1 < argc) {
            const std::filesystem::path folder = argv[++a];
            std::error_code failed;
            std::filesystem::create_directories(folder, failed);
            if (failed) {
                std::fprintf(stderr, "basestation-sim: cannot make %s\n", folder.c_str());
                return 2;
            }
            sim.setTablesFolder(folder);
        } else if (arg == "--reply-delay-ms" && a + 1 < argc) {
            sim.setReplyDelay(std::chrono::milliseconds(std::max(0, std::atoi(argv[++a]))));
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            usage();
            return 2;
        }
    }
    // Downloads are always told; every poll and frame only when asked for.
    sim.setObserver([verbose](std::string_view line) {
        if (verbose || line.starts_with("download ")) {
            std::fprintf(stderr, "basestation-sim: %.*s\n", static_cast<int>(line.size()),
                         line.data());
        }
    });
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
