// The line watch: every tick asks the modem lines of the port opened last,
// and while DSR is low tells the front end "COMFL" with the station id of the
// session created last. A failed query (a pseudo-terminal, no port yet) and a
// good line send nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace padlink {

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
