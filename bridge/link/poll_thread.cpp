// The poll cycle.
#include "link/poll_thread.h"

#include "link/result_codes.h"
#include "link/stop_pause.h"
#include "logs/program_log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace padlink {

namespace {

// 点菜机下载数量为0，请重启软件从新下载
constexpr std::string_view kNoHandhelds{
    "\xb5\xe3\xb2\xcb\xbb\xfa\xcf\xc2\xd4\xd8\xca\xfd\xc1\xbf\xce\xaa\x30\xa3\xac\xc7\xeb\xd6\xd8"
    "\xc6\xf4\xc8\xed\xbc\xfe\xb4\xd3\xd0\xc2\xcf\xc2\xd4\xd8"};
// 点菜机数量不正确，不应该大于总体的数量！
constexpr std::string_view kIndexBeyondCount{
    "\xb5\xe3\xb2\xcb\xbb\xfa\xca\xfd\xc1\xbf\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xac\xb2\xbb\xd3\xa6\xb8"
    "\xc3\xb4\xf3\xd3\xda\xd7\xdc\xcc\xe5\xb5\xc4\xca\xfd\xc1\xbf\xa3\xa1"};
// 打开失败！
constexpr std::string_view kOpenFailedSuffix{"\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc\xa3\xa1"};
// 串口已断开，每隔几秒重新打开
constexpr const char* kLineLostText =
    "\xb4\xae\xbf\xda\xd2\xd1\xb6\xcf\xbf\xaa\xa3\xac\xc3\xbf\xb8\xf4\xbc\xb8\xc3\xeb\xd6\xd8"
    "\xd0\xc2\xb4\xf2\xbf\xaa";
// 串口已恢复
constexpr const char* kLineBackText = "\xb4\xae\xbf\xda\xd2\xd1\xbb\xd6\xb8\xb4";
constexpr std::string_view kLineFailedNotice = "COMFL";

constexpr std::uint8_t kManualDownloadRequest = 0x81;
constexpr std::uint8_t kUpdateRequest = 0x82;

bool isSet(const StationFlags& flags, std::size_t station) { return flags[station].load() != 0; }

}  // namespace

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    char hex[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02x ", byte);
        text += hex;
    }
    return text;
}

std::size_t UnansweredRequests::dispatchRequest(FrameBuffer buffer, LinkSession& session) {
    std::fprintf(stderr, "padlink: station %d: request 0x%02x left unanswered (no command layer)\n",
                 session.stationId(), buffer[7]);
    return 0;
}

int UnservedDownloads::manualDownload(SerialPort&, FrameBuffer, LinkSession& session, int,
                                      const std::string& label) {
    std::fprintf(stderr, "padlink: station %d: manual download for %s not served (no download procedure)\n",
                 session.stationId(), label.c_str());
    return -2;
}

int UnservedDownloads::versionDownload(SerialPort&, FrameBuffer, LinkSession& session, int,
                                       const std::string& label) {
    std::fprintf(stderr, "padlink: station %d: update download for %s not served (no download procedure)\n",
                 session.stationId(), label.c_str());
    return 1;
}

namespace {

// The port has gone (a pulled adapter, a device that fails): tell it once,
// then open the same name again every few seconds until it is back. True
// once it is open again, false when the stop flag ended the wait.
bool waitForLine(SerialPort& port, const PollThreadParams& params, const PollServices& services) {
    port.close();
    logEntry("warn0", "%s %s", params.portName.c_str(), kLineLostText);
    if (services.notifyFrontEnd) {
        services.notifyFrontEnd(static_cast<std::uint32_t>(params.stationId), kLineFailedNotice);
    }
    for (;;) {
        if (!pauseUnlessStopped(services.reopenIntervalMs, services.state.stopRequested)) {
            return false;
        }
        if (port.open(params.portName, params.readTimeout, params.readInterval) == kSuccess) {
            logEntry("warn0", "%s %s", params.portName.c_str(), kLineBackText);
            return true;
        }
    }
}

}  // namespace

int runPollThread(std::unique_ptr<PollThreadParams> params, const PollServices& services) {
    if (services.host == nullptr) {
        return kThreadSetupFailed;  // nobody to tell
    }
    PollHost& host = *services.host;
    const bool stationInRange =
        params && params->stationIndex >= 0 &&
        static_cast<std::size_t>(params->stationIndex) < kMaxStations;
    if (!stationInRange || services.requests == nullptr || services.downloads == nullptr) {
        host.showMessage("returnvalue error");
        return kThreadSetupFailed;
    }
    const LinkState& state = services.state;
    const auto station = static_cast<std::size_t>(params->stationIndex);
    // The count is a byte; the row holds 50, and nothing past the row is ever read.
    const int count = std::clamp(params->handheldCount, 0, static_cast<int>(kMaxHandhelds));

    PollFrame poll{};
    std::array<std::uint8_t, kMaxFrameSize> reply{};
    std::uint32_t replyLength = 0;
    std::uint8_t downloadMark = 0;

    SerialPort port;
    LinkSession session(params->folder, params->stationId);
    if (services.traffic) {
        port.setTrafficSink(services.traffic);
    }
    if (services.afterPurge) {
        port.setAfterPurge(services.afterPurge);
    }
    if (const int rc = port.open(params->portName, params->readTimeout, params->readInterval);
        rc != kSuccess) {
        host.showMessage(params->portName + std::string(kOpenFailedSuffix));
        return rc;
    }

    auto displayed = [&] {
        return isSet(state.stationSelected, station) && isSet(state.stationDisplay, station);
    };
    int i = 0;
    int skippedInARow = 0;
    for (;;) {
        if (state.stopRequested.load() == 1) {
            port.close();
            return kPollStopped;
        }
        if (count == 0) {
            host.showMessage(kNoHandhelds);
        }
        if (i == count) {
            i = 0;
        } else if (i > count) {
            host.showMessage(kIndexBeyondCount);
            port.close();
            return kPollIndexBeyondCount;
        }
        const HandheldEntry& entry = state.table.rows[station][static_cast<std::size_t>(i)];
        PollKind kind = PollKind::normal;
        if (isSet(state.stationSelected, station) && state.downloadMode.load() != 0) {
            const std::uint8_t mark = entry.mark.load();
            if (mark != kDownloadMark) {
                ++i;
                // A whole pass without a marked entry would otherwise spin the
                // processor until the download ends.
                if (++skippedInARow >= std::max(count, 1)) {
                    skippedInARow = 0;
                    pauseUnlessStopped(params->pollInterval, state.stopRequested);
                }
                continue;
            }
            kind = PollKind::download;
            downloadMark = mark;
        }
        skippedInARow = 0;
        poll = pollFrame(entry.addressLow, entry.addressMiddle, entry.addressHigh, kind);
        // With no handhelds the empty entry 0 is polled again and again, between
        // the messages; only a skipped entry can carry the index past the count.
        if (count > 0) {
            ++i;
        }

        port.write(poll);  // a failed write is not acted on: the read follows as usual
        if (displayed()) {
            host.postDisplayLine("TX:" + hexBytes(poll) + "\r\n");
        }

        reply.fill(0);
        replyLength = 0;
        const int rc = port.readReply(reply, replyLength);
        if (displayed()) {
            std::string line;
            if (rc == kSuccess) {
                line = hexBytes(std::span(reply.data(), replyLength));
            } else {
                const auto head = std::span<const std::uint8_t>(reply.data(), kHeaderSize);
                line = std::all_of(head.begin(), head.end(), [](auto b) { return b == 0; })
                           ? std::string("RX:")
                           : hexBytes(head);
            }
            host.postDisplayLine(line + "\r\n");
        }

        if (rc == kSuccess && replyLength >= kHeaderSize) {
            const std::uint8_t command = reply[7];
            if (command == kManualDownloadRequest) {
                if (state.downloadMode.load() != 0 && isSet(state.stationSelected, station) &&
                    downloadMark != 0) {
                    const std::string label =
                        handheldLabel(state.table, reply[2], count, params->stationIndex);
                    services.downloads->manualDownload(port, reply, session,
                                                       params->stationIndex, label);
                }
            } else if (command == kUpdateRequest) {
                const std::string label =
                    handheldLabel(state.table, reply[2], count, params->stationIndex);
                services.downloads->versionDownload(port, reply, session, params->stationIndex,
                                                    label);
            } else {
                session.clearDataArea();
                const std::size_t n =
                    std::min(services.requests->dispatchRequest(reply, session), reply.size());
                if (n > 11) {
                    const auto answer = std::span<const std::uint8_t>(reply.data(), n);
                    port.write(answer);
                    if (displayed()) {
                        host.postDisplayLine(hexBytes(answer) + "\r\n");
                    }
                }
                pauseUnlessStopped(params->pollInterval, state.stopRequested);
                reply.fill(0);
            }
        }
        // A silent handheld and a port that has gone look alike to the
        // reads; the port tells them apart.
        if (port.lineLost() && !waitForLine(port, *params, services)) {
            port.close();
            return kPollStopped;
        }
        pauseUnlessStopped(params->pollInterval, state.stopRequested);
    }
}

}  // namespace padlink
