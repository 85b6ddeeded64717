// The command layer of a poll thread: one handheld request in the frame
// buffer becomes its request line, the notice to the front end, and the
// answer frame built in the same buffer. It must never answer a command byte
// that is not in the command table, never send the front end a notice for a
// request whose line was not written (the front end would act on the
// previous request again), and never write past the buffer.
#pragma once

#include "commands/answer_frames.h"
#include "commands/exchange.h"
#include "link/link_session.h"
#include "link/poll_thread.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace padlink {

// A modal box with only OK, shown from the poll thread; the text is GBK.
using MessageSink = std::function<void(std::string_view text)>;

struct CommandContext {
    int orderVersion = 0;           // "落单版本", read once at start-up
    FrontEnd* frontEnd = nullptr;   // nullptr: no front end window, no notices
    MessageSink showMessage;        // empty: messages are dropped
};

// Returns the answer length (built in place), 0 for no answer.
std::size_t dispatchRequest(AnswerBuffer frame, const LinkSession& session,
                            const CommandContext& context);

// The poll thread's seam: RequestHandler over the front end's window.
class CommandLayer final : public RequestHandler {
public:
    CommandLayer(int orderVersion, std::optional<WindowHandle> frontEndWindow,
                 MessageSink showMessage);
    // The running bridge: the order version is read when each request arrives, since
    // the configuration is loaded after the layer is made.
    CommandLayer(const std::atomic<int>& orderVersion, std::optional<WindowHandle> frontEndWindow,
                 MessageSink showMessage);
    CommandLayer(const CommandLayer&) = delete;
    CommandLayer& operator=(const CommandLayer&) = delete;

    std::size_t dispatchRequest(FrameBuffer buffer, LinkSession& session) override;

private:
    FrontEndWindow window_;
    CommandContext context_;
    const std::atomic<int>* liveOrderVersion_ = nullptr;
};

}  // namespace padlink
