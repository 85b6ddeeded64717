// The line watch.
#include "app/line_watch.h"

#include "link/link_session.h"
#include "platform/serial_port.h"

#include <thread>

namespace padlink {

BackgroundNotices::BackgroundNotices(Send send) : state_(std::make_shared<State>()) {
    state_->send = std::move(send);
}

bool BackgroundNotices::post(std::uint32_t dwData, std::string_view text) {
    if (state_->busy.exchange(true)) {
        return false;
    }
    std::thread([state = state_, dwData, text = std::string(text)] {
        state->send(dwData, text);
        state->busy.store(false);
    }).detach();
    return true;
}

std::optional<bool> LineWatch::lastPortDsr() { return dataSetReady(lastOpenedPort.load()); }

void LineWatch::tick() {
    const std::optional<bool> dsr = query_();
    if (dsr.has_value() && !*dsr) {
        notify_(static_cast<std::uint32_t>(lastSessionId.load()), "COMFL");
    }
}

}  // namespace padlink
