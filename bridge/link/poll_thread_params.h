// What start-up hands to the poll thread of one base station. The thread owns
// its copy for its whole life.
#pragma once

#include <filesystem>
#include <string>

namespace padlink {

struct PollThreadParams {
    int handheldCount = 0;  // entries 0..count-1 of the station's row (0-255)
    std::string portName;   // as written in the station file, GBK bytes
    std::filesystem::path folder;  // the TXT folder: exchange and table files
    int stationIndex = 0;   // row of the handheld table, index of the station flags
    int stationId = 0;      // names the exchange files
    int pollInterval = 0;   // ms, pause after each poll
    int readTimeout = 0;    // ms per requested byte of a read
    int readInterval = 0;   // ms, settle delay after each read chunk
};

}  // namespace padlink
