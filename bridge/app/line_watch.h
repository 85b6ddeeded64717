// The line watch: every tick asks the modem lines of the port opened last,
// and while DSR is low tells the front end "COMFL" with the station id of the
// session created last. A failed query (a pseudo-terminal, no port yet) and a
// good line send nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace padlink {

// Notices to the front end sent from a thread of their own, so that the
// user-interface thread never waits for the front end: a front end that
// answers "COMFL" by sending "TC" back would otherwise wait for a window
// that waits for it. One notice at a time; one asked for while another is
// still on its way is dropped, as a window blocked in SendMessage takes no
// timer ticks. The sending thread owns everything it touches, so it may
// outlive the window (a front end that never returns).
class BackgroundNotices {
  public:
    using Send = std::function<void(std::uint32_t dwData, const std::string& text)>;

    explicit BackgroundNotices(Send send);

    // False when the notice was dropped.
    bool post(std::uint32_t dwData, std::string_view text);
    bool busy() const { return state_->busy.load(); }

  private:
    struct State {
        std::atomic<bool> busy{false};
        Send send;
    };
    std::shared_ptr<State> state_;
};

class LineWatch {
public:
    using DsrQuery = std::function<std::optional<bool>()>;
    using Notify = std::function<void(std::uint32_t dwData, std::string_view text)>;

    LineWatch(DsrQuery query, Notify notify)
        : query_(std::move(query)), notify_(std::move(notify)) {}

    // The query of the running bridge: the port opened last.
    static std::optional<bool> lastPortDsr();

    void tick();

private:
    DsrQuery query_;
    Notify notify_;
};

}  // namespace padlink
