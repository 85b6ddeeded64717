// A TCP listener on 127.0.0.1 for the tests: a network printer's port, or the socket a
// raw CUPS queue sends to. Each accepted connection goes to the handler on the
// listener's own thread; the connection is closed when the handler returns.
#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>

namespace cookhub::printing::testing {

class TcpListener {
  public:
    using Handler = std::function<void(int socket)>;
    explicit TcpListener(Handler handler);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool listening() const { return listener_ >= 0; }
    unsigned short port() const { return port_; }

    // A port on 127.0.0.1 where nothing listens (bound once, then released).
    static unsigned short closedPort();

  private:
    void run();

    Handler handler_;
    int listener_ = -1;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// Reads exactly `count` bytes, or fewer when the peer closes or `timeoutMs` passes.
QByteArray readBytes(int socket, int count, int timeoutMs);
// Reads until the peer closes or `timeoutMs` passes.
QByteArray readUntilClosed(int socket, int timeoutMs);

}  // namespace cookhub::printing::testing
