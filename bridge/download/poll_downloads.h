// Plugs the download conversations into the poll thread's DownloadHandler
// seam: the thread hands over its port, buffer and session, and the
// conversations get the process-wide flags and the window side's host. It
// adds no behaviour of its own and must never hold state between calls.
#pragma once

#include "download/conversations.h"
#include "link/poll_thread.h"

namespace padlink {

// stopRequested, downloadMode, stationSelected, stationDisplay and the
// manual choice of the running bridge.
DownloadFlags globalDownloadFlags();

class PollDownloads final : public DownloadHandler {
public:
    PollDownloads(DownloadHost& host, DownloadFlags flags) : context_{flags, host} {}

    int manualDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                       int stationIndex, const std::string& label) override;
    int versionDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                        int stationIndex, const std::string& label) override;

private:
    DownloadContext context_;
};

}  // namespace padlink
