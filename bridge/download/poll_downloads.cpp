// The poll thread's download seam.
#include "download/poll_downloads.h"

#include "logs/station_display.h"

namespace padlink {

static_assert(kStatusReadBytes == kStatusBufferSize);
static_assert(StatusPort<SerialPort>);

DownloadFlags globalDownloadFlags() {
    return {stopRequested, downloadMode, stationSelected, stationDisplay, globalManualChoice()};
}

int PollDownloads::manualDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                                  int stationIndex, const std::string& label) {
    return padlink::manualDownload(port, buffer, session, stationIndex, label, context_);
}

int PollDownloads::versionDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                                   int stationIndex, const std::string& label) {
    return padlink::versionDownload(port, buffer, session, stationIndex, label, context_);
}

}  // namespace padlink
