// The network printers' status port: is a kitchen printer answering on the network?
//
// The status monitor calls this for every station printer in turn, so it must never
// block longer than its limits (one second to connect, half a second for each answer)
// and never writes past the buffer it is given. Host names are not resolved: a name
// lookup could stall far beyond those limits.
#pragma once

#include <chrono>

namespace cookhub::printing {

struct NetStatusLimits {
    std::chrono::milliseconds connect{1000};
    std::chrono::milliseconds answer{500};
};

// Connects by TCP to `address` ("a.b.c.d" or "[v6]", optional ":port", 9100 when none)
// within the connect limit and returns 0; -1 when it cannot connect or the address is
// empty or malformed. Connected, it sends DLE EOT 1 and puts the first byte of an
// answer that arrives within the answer limit into buffer[0]; only when the printer
// answered does it go on to ask DLE EOT 2 (offline cause) into buffer[1] and DLE EOT 4
// (paper sensor) into buffer[2]. A byte that does not arrive leaves its place as it
// was, and nothing is written at or beyond `size`. A printer that answers nothing
// still returns 0: it is on the network. The last two arguments are accepted and
// unused.
int NetGetStatus(const char* address, unsigned char* buffer, int size, int a4, int a5);
int NetGetStatus(const char* address, unsigned char* buffer, int size,
                 const NetStatusLimits& limits);

// What the status bytes of NetGetStatus say about paper and cover. A place that holds
// no real-time status byte (bits 1 and 4 set, bits 0 and 7 clear) says nothing.
struct PaperCondition {
    bool coverOpen = false;
    bool paperEnd = false;
    bool paperNearEnd = false;
    bool operator==(const PaperCondition&) const = default;
};
PaperCondition paperCondition(const unsigned char* buffer, int size);

}  // namespace cookhub::printing
