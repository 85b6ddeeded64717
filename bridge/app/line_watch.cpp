// The line watch.
#include "app/line_watch.h"

#include "link/link_session.h"
#include "platform/serial_port.h"

namespace padlink {

std::optional<bool> LineWatch::lastPortDsr() { return dataSetReady(lastOpenedPort.load()); }

void LineWatch::tick() {
    const std::optional<bool> dsr = query_();
    if (dsr.has_value() && !*dsr) {
        notify_(static_cast<std::uint32_t>(lastSessionId.load()), "COMFL");
    }
}

}  // namespace padlink
