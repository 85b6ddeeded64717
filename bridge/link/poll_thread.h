// The poll cycle of one base station: poll each handheld in turn, read its
// reply, hand requests to the command layer and table requests to the
// download procedures, pause, and go round until the stop flag is seen. The
// thread owns its parameters, port, buffers and session. It reaches the
// window only through PollHost, whose calls return once the window has taken
// the line or the operator has pressed OK; it must never touch a widget.
#pragma once

#include "link/frame.h"
#include "link/link_flags.h"
#include "link/link_session.h"
#include "link/poll_thread_params.h"
#include "platform/serial_port.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace padlink {

using FrameBuffer = std::span<std::uint8_t, kMaxFrameSize>;

// What the thread asks of the window. Both calls block until done.
class PollHost {
public:
    virtual ~PollHost() = default;
    // A display line for the monitor page; dropped while the page is absent.
    virtual void postDisplayLine(std::string_view text) = 0;
    // A modal box with only OK; the text is GBK bytes.
    virtual void showMessage(std::string_view text) = 0;
};

// The command layer: turns the request in `buffer` into its answer in the
// same buffer and returns the answer's length, 0 for no answer.
class RequestHandler {
public:
    virtual ~RequestHandler() = default;
    virtual std::size_t dispatchRequest(FrameBuffer buffer, LinkSession& session) = 0;
};

// The two download conversations; both hold the line until they end.
class DownloadHandler {
public:
    virtual ~DownloadHandler() = default;
    virtual int manualDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                               int stationIndex, const std::string& label) = 0;
    virtual int versionDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                                int stationIndex, const std::string& label) = 0;
};

// Until the command layer exists: the request is noted on standard error and
// left unanswered.
class UnansweredRequests final : public RequestHandler {
public:
    std::size_t dispatchRequest(FrameBuffer buffer, LinkSession& session) override;
};

// Until the download procedures exist: the request is noted on standard error
// and goes nowhere.
class UnservedDownloads final : public DownloadHandler {
public:
    int manualDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                       int stationIndex, const std::string& label) override;
    int versionDownload(SerialPort& port, FrameBuffer buffer, LinkSession& session,
                        int stationIndex, const std::string& label) override;
};

// A notice to the front end's window, sent from the poll thread; it returns
// once the front end has handled it.
using FrontEndNotice = std::function<void(std::uint32_t stationId, std::string_view text)>;

inline constexpr int kReopenIntervalMs = 3000;

struct PollServices {
    LinkState state;
    PollHost* host = nullptr;
    RequestHandler* requests = nullptr;
    DownloadHandler* downloads = nullptr;
    // Set when the traffic log is on.
    SerialPort::TrafficSink traffic;
    // "COMFL" when the station's port has gone; unset, nobody is told.
    FrontEndNotice notifyFrontEnd{};
    // How often a port that has gone is opened again.
    int reopenIntervalMs = kReopenIntervalMs;
    // Tests: see SerialPort::setAfterPurge.
    SerialPort::AfterPurge afterPurge{};
};

// Exit codes of the thread; nothing reads them but tests.
inline constexpr int kPollStopped = 0;
inline constexpr int kPollIndexBeyondCount = -1;

// Runs the cycle until the stop flag (kPollStopped) or a fatal error: 1008
// when an object is missing, the open's result code when the port cannot be
// opened, kPollIndexBeyondCount when the index passes the count.
int runPollThread(std::unique_ptr<PollThreadParams> params, const PollServices& services);

// "%02x " of every byte; the display and traffic texts are built from it.
std::string hexBytes(std::span<const std::uint8_t> bytes);

}  // namespace padlink
