// The exchange with the POS front end for one request: the request line file
// the bridge writes, the notice that tells the front end's window which
// command waits, and the answer file read back once the notice returns.
// The front end does all its work while it handles the notice; nothing here
// waits for a file to change, retries, or deletes or empties the answer file.
#pragma once

#include "link/link_session.h"
#include "link/result_codes.h"
#include "platform/window_messages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace padlink {

// The request line file could not be opened for writing (the code the link
// layer also uses for its log file).
inline constexpr int kRequestLineFailed = kTrafficLogFailed;

// Creates or truncates the station's request line file and writes the text
// with CR LF line ends; no line end is added. 0, or kRequestLineFailed.
int writeRequestLine(const LinkSession& session, std::string_view text);

// The answer file's non-empty lines joined with "|"; empty when the file is
// missing or unreadable.
std::string readAnswerText(const LinkSession& session);

// Where the notices go. The running bridge tells the front end's window;
// tests and benchmarks may stand in a front end of their own.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Returns once the front end has handled the notice.
    virtual void notify(std::uint32_t stationId, std::string_view notice) = 0;
};

// Sends the notice as WM_COPYDATA (dwData = station id, the name with its
// zero byte) and waits until the window has handled it; nothing when the
// window was not found at start-up. A front end that dies while handling the
// notice counts as having returned.
void notifyFrontEnd(const std::optional<WindowHandle>& window, std::uint32_t stationId,
                    std::string_view notice);

class FrontEndWindow final : public FrontEnd {
public:
    explicit FrontEndWindow(std::optional<WindowHandle> window) : window_(std::move(window)) {}
    void notify(std::uint32_t stationId, std::string_view notice) override {
        notifyFrontEnd(window_, stationId, notice);
    }

private:
    std::optional<WindowHandle> window_;
};

}  // namespace padlink
