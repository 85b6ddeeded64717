// The network printers' status port: is a kitchen printer answering on the network?
//
// The status monitor calls this for every station printer in turn, so it must never
// block longer than its limits (one second to connect, half a second for the answer)
// and never writes past the buffer it is given. Host names are not resolved: a name
// lookup could stall far beyond those limits.
#pragma once

namespace cookhub::printing {

// Connects by TCP to `address` ("a.b.c.d" or "[v6]", optional ":port", 9100 when none)
// within one second, sends DLE EOT 1, puts the answer bytes that arrive within 500 ms
// into `buffer` (at most `size` of them) and returns 0; -1 when it cannot connect or the
// address is empty or malformed. The last two arguments are accepted and unused.
int NetGetStatus(const char* address, unsigned char* buffer, int size, int a4, int a5);

}  // namespace cookhub::printing
