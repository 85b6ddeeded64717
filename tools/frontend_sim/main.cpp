// frontend-sim: the POS front end for the demo and for black-box runs of the
// bridge. It opens its window, starts the bridge with its title (or waits
// for one that is already running with that title), answers every notice
// from its script, logs each notice and its request line, and sends the
// bridge "XS" or "TC" when those words arrive on standard input.
#include "front_end_sim.h"
#include "pos_role.h"

#include "config/bridge_config.h"

#include <pthread.h>
#include <sys/wait.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: frontend-sim --home DIR [--title TITLE] [--script FILE]\n"
                 "                    [--padlink PROGRAM] [--fail never-return|die] [--pos DB]\n"
                 "  --home     the bridge's working folder; exchange files are in its TXT folder\n"
                 "  --title    the front end's window title (default POS)\n"
                 "  --script   NAME=answer lines, '|' between the answer file's lines\n"
                 "  --padlink  start this bridge program with the title; without it, attach\n"
                 "  --fail     never-return: hold every notice; die: exit while handling one\n"
                 "  --pos      the POS database (SQLite): log-ins, tables, orders, returns and\n"
                 "             check-outs are answered from it and recorded in it\n"
                 "standard input: XS, TC, quit (at its end: serve until SIGINT or SIGTERM)\n");
}

// The request line with its line ends visible, on one log line.
std::string visible(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string title = "POS";
    std::filesystem::path home;
    std::filesystem::path script;
    std::filesystem::path padlinkProgram;
    std::filesystem::path posDatabase;
    frontend::Failure failure = frontend::Failure::none;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (a + 1 >= argc) {
            usage();
            return 2;
        }
        const std::string value = argv[++a];
        if (option == "--title") {
            title = value;
        } else if (option == "--home") {
            home = value;
        } else if (option == "--script") {
            script = value;
        } else if (option == "--pos") {
            posDatabase = value;
        } else if (option == "--padlink") {
            padlinkProgram = value;
        } else if (option == "--fail" && value == "never-return") {
            failure = frontend::Failure::neverReturns;
        } else if (option == "--fail" && value == "die") {
            failure = frontend::Failure::diesWhileHandling;
        } else {
            usage();
            return 2;
        }
    }
    if (home.empty()) {
        usage();
        return 2;
    }

    // Blocked in every thread, taken by sigwait below once standard input
    // has ended: a simulator started in the background keeps serving.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    frontend::FrontEndSim sim(title, padlink::txtFolder(home));
    if (!script.empty()) {
        const auto answers = frontend::readScript(script);
        if (!answers) {
            std::fprintf(stderr, "frontend-sim: cannot read script %s\n", script.c_str());
            return 1;
        }
        for (const auto& [notice, answer] : *answers) {
            sim.setAnswer(notice, answer);
        }
    }
    std::unique_ptr<frontend::PosRole> pos;
    if (!posDatabase.empty()) {
        std::string error;
        pos = frontend::PosRole::open(posDatabase, &error);
        if (!pos) {
            std::fprintf(stderr, "frontend-sim: %s\n", error.c_str());
            return 1;
        }
        sim.setResponder([&pos](const frontend::Notice& notice) {
            return pos->answer(notice.station, notice.name, notice.requestLine);
        });
    }
    sim.setFailure(failure);
    sim.setObserver([](const frontend::Notice& notice) {
        std::printf("notice %s station %u request \"%s\"%s\n", notice.name.c_str(), notice.station,
                    visible(notice.requestLine).c_str(), notice.answered ? " answered" : "");
        std::fflush(stdout);
    });
    if (!sim.start()) {
        std::fprintf(stderr, "frontend-sim: cannot open the window %s\n", title.c_str());
        return 1;
    }
    std::printf("window %s open\n", title.c_str());
    std::fflush(stdout);

    pid_t bridge = -1;
    if (!padlinkProgram.empty()) {
        bridge = frontend::startBridge(padlinkProgram, title, home);
        if (bridge < 0) {
            std::fprintf(stderr, "frontend-sim: cannot start %s\n", padlinkProgram.c_str());
            return 1;
        }
        std::printf("bridge started, pid %d\n", static_cast<int>(bridge));
        std::fflush(stdout);
    }

    std::string command;
    bool quit = false;
    while (!quit && std::getline(std::cin, command)) {
        if (command == "quit") {
            quit = true;
        }
        if (command == "XS" || command == "TC") {
            const bool sent = frontend::sendToBridge(command);
            std::printf("sent %s: %s\n", command.c_str(), sent ? "handled" : "no bridge window");
            std::fflush(stdout);
        } else if (!quit && !command.empty()) {
            std::printf("unknown command %s\n", command.c_str());
            std::fflush(stdout);
        }
    }
    if (!quit) {
        int signal = 0;
        sigwait(&endSignals, &signal);
    }
    sim.stop();
    if (bridge > 0) {
        int status = 0;
        waitpid(bridge, &status, WNOHANG);
    }
    return 0;
}
