// netprinter-sim: a network thermal printer on 127.0.0.1 for the demo and for trying
// the print service by hand.
//   netprinter-sim --port 9101 [--jobs DIR] [--silent] [--paper ok|near-end|out]
//                  [--cover open|closed]
// While it runs it reads commands, one a line, on standard input: "away", "back",
// "silent", "answer", "paper ok|near-end|out", "cover open|closed", "jobs".
#include "net_printer_sim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

bool applyPaper(const std::string& value, netprinter::PaperState& paper) {
    if (value == "ok")
        paper.paperEnd = paper.paperNearEnd = false;
    else if (value == "near-end")
        paper.paperEnd = false, paper.paperNearEnd = true;
    else if (value == "out")
        paper.paperEnd = paper.paperNearEnd = true;
    else
        return false;
    return true;
}

bool applyCover(const std::string& value, netprinter::PaperState& paper) {
    if (value != "open" && value != "closed")
        return false;
    paper.coverOpen = value == "open";
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: netprinter-sim --port N [--jobs DIR] [--silent] "
                 "[--paper ok|near-end|out] [--cover open|closed]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long port = -1;
    std::string jobDir;
    bool silent = false;
    netprinter::PaperState paper;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            char* end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535)
                return usage();
        } else if (arg == "--jobs" && hasValue) {
            jobDir = argv[++i];
        } else if (arg == "--silent") {
            silent = true;
        } else if (arg == "--paper" && hasValue) {
            if (!applyPaper(argv[++i], paper))
                return usage();
        } else if (arg == "--cover" && hasValue) {
            if (!applyCover(argv[++i], paper))
                return usage();
        } else {
            return usage();
        }
    }
    if (port < 0)
        return usage();

    netprinter::NetPrinterSim printer(static_cast<std::uint16_t>(port), jobDir);
    if (!printer.listening()) {
        std::fprintf(stderr, "netprinter-sim: cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    printer.setSilent(silent);
    printer.setPaper(paper);
    std::fprintf(stderr, "netprinter-sim: %s%s\n", printer.address().c_str(),
                 silent ? " (silent)" : "");

    // Without commands (stdin closed or a terminal's end) it serves until killed.
    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        bool ok = true;
        if (command == "away")
            printer.goAway();
        else if (command == "back")
            ok = printer.comeBack();
        else if (command == "silent" || command == "answer")
            printer.setSilent(command == "silent");
        else if (command == "paper")
            ok = applyPaper(value, paper), printer.setPaper(paper);
        else if (command == "cover")
            ok = applyCover(value, paper), printer.setPaper(paper);
        else if (command == "jobs")
            std::printf("%zu\n", printer.jobs().size()), std::fflush(stdout);
        else
            ok = false;
        if (!ok)
            std::fprintf(stderr, "netprinter-sim: cannot do \"%s\"\n", line.c_str());
    }
    sigset_t none;
    sigemptyset(&none);
    sigsuspend(&none);  // until a signal ends the process
    return 0;
}
