// A network thermal printer on 127.0.0.1: the status monitor's tests' peer and the
// demo's kitchen printers.
//
// It answers the real-time status requests DLE EOT 1, 2 and 4 with status bytes made
// from its paper and cover state, and keeps every raw job (the bytes of one connection
// that are not status requests) as a numbered file. It can be told to stay silent
// (accept and never answer), to refuse connections (nothing listens on its port) and
// to come back on the same port. It never binds anything but the loopback address.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace netprinter {

struct PaperState {
    bool coverOpen = false;
    bool paperEnd = false;
    bool paperNearEnd = false;
};

// The status bytes a printer in `paper` state answers to DLE EOT n (n = 1, 2, 3, 4).
unsigned char statusByte(int n, const PaperState& paper);

class NetPrinterSim {
  public:
    // Listens on 127.0.0.1:`port` (0: any free port). Jobs go to `jobDir` as
    // NNNN.bin when it is not empty; they are kept in memory in every case.
    explicit NetPrinterSim(std::uint16_t port = 0, std::string jobDir = {});
    ~NetPrinterSim();
    NetPrinterSim(const NetPrinterSim&) = delete;
    NetPrinterSim& operator=(const NetPrinterSim&) = delete;

    bool listening() const { return listener_.load() >= 0; }
    std::uint16_t port() const { return port_; }
    std::string address() const;  // "127.0.0.1:<port>"

    // Accept connections but never answer a status request.
    void setSilent(bool silent) { silent_ = silent; }
    void setPaper(const PaperState& paper);

    // Goes away: the port is closed, so connections are refused, and open connections
    // are dropped. comeBack listens on the same port again; false when it cannot.
    void goAway();
    bool comeBack();

    int statusRequests() const { return statusRequests_.load(); }
    std::vector<std::string> jobs() const;

  private:
    struct Connection {
        int fd;
        std::string pending;  // bytes that may still begin a status request
        std::string job;
    };

    void run();
    void serve(Connection& connection, const char* data, size_t size);
    void finishJob(Connection& connection);
    bool openListener();
    void wake();

    std::uint16_t port_ = 0;
    std::string jobDir_;
    std::atomic<int> listener_{-1};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> silent_{false};
    std::atomic<bool> dropConnections_{false};
    std::atomic<int> statusRequests_{0};
    mutable std::mutex mutex_;
    PaperState paper_;
    std::vector<std::string> jobs_;
    std::thread thread_;
};

}  // namespace netprinter
