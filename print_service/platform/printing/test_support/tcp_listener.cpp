// The tests' TCP listener. See tcp_listener.h.
#include "tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace cookhub::printing::testing {

namespace {

int listenOnLoopback(unsigned short* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

QByteArray readSome(int socket, int count, int timeoutMs, bool untilClosed) {
    QByteArray bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (untilClosed || bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd entry{socket, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char chunk[65536];
        const size_t want = untilClosed ? sizeof chunk : size_t(count - bytes.size());
        const ssize_t got = ::recv(socket, chunk, want < sizeof chunk ? want : sizeof chunk, 0);
        if (got <= 0)
            break;
        bytes.append(chunk, got);
    }
    return bytes;
}

}  // namespace

TcpListener::TcpListener(Handler handler) : handler_(std::move(handler)) {
    listener_ = listenOnLoopback(&port_);
    if (listener_ >= 0)
        thread_ = std::thread([this] { run(); });
}

TcpListener::~TcpListener() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

void TcpListener::run() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0)
            continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        handler_(connection);
        ::close(connection);
    }
}

unsigned short TcpListener::closedPort() {
    unsigned short port = 0;
    const int fd = listenOnLoopback(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

QByteArray readBytes(int socket, int count, int timeoutMs) {
    return readSome(socket, count, timeoutMs, false);
}

QByteArray readUntilClosed(int socket, int timeoutMs) {
    return readSome(socket, 0, timeoutMs, true);
}

}  // namespace cookhub::printing::testing
