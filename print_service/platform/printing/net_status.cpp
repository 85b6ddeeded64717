// The status request to a network printer's raw port.
//
// Every wait is a poll() against a monotonic deadline, retried on EINTR, so a slow or
// silent printer costs at most the limits and a signal cannot stretch them. The
// socket is never left open and the caller's buffer never gets more than `size` bytes.
#include "net_status.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

namespace cookhub::printing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned short defaultPort = 9100;
constexpr unsigned char DLE = 0x10;
constexpr unsigned char EOT = 0x04;
// DLE EOT n: 1 printer status, 2 offline cause, 4 roll paper sensor.
constexpr unsigned char statusRequests[] = {1, 2, 4};

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
};

bool parsePort(std::string_view text, unsigned short* port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    *port = static_cast<unsigned short>(value);
    return true;
}

// "a.b.c.d", "a.b.c.d:port", "[v6]", "[v6]:port"; surrounding blanks are ignored
// (fixed-width database columns pad with them).
bool parseAddress(const char* text, Endpoint* endpoint) {
    std::string_view view(text);
    while (!view.empty() && (view.front() == ' ' || view.front() == '\t')) view.remove_prefix(1);
    while (!view.empty() && (view.back() == ' ' || view.back() == '\t')) view.remove_suffix(1);

    std::string_view host = view;
    std::string_view portText;
    bool v6 = false;
    if (!view.empty() && view.front() == '[') {
        const size_t close = view.find(']');
        if (close == std::string_view::npos)
            return false;
        host = view.substr(1, close - 1);
        const std::string_view rest = view.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return false;
            portText = rest.substr(1);
            if (portText.empty())
                return false;
        }
        v6 = true;
    } else if (const size_t colon = view.find(':'); colon != std::string_view::npos) {
        host = view.substr(0, colon);
        portText = view.substr(colon + 1);
        if (portText.empty())
            return false;
    }

    unsigned short port = defaultPort;
    if (!portText.empty() && !parsePort(portText, &port))
        return false;
    char hostText[INET6_ADDRSTRLEN + 1];
    if (host.empty() || host.size() >= sizeof hostText)
        return false;
    std::memcpy(hostText, host.data(), host.size());
    hostText[host.size()] = '\0';

    if (v6) {
        auto* address = reinterpret_cast<sockaddr_in6*>(&endpoint->address);
        address->sin6_family = AF_INET6;
        address->sin6_port = htons(port);
        endpoint->length = sizeof(sockaddr_in6);
        return inet_pton(AF_INET6, hostText, &address->sin6_addr) == 1;
    }
    auto* address = reinterpret_cast<sockaddr_in*>(&endpoint->address);
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    endpoint->length = sizeof(sockaddr_in);
    return inet_pton(AF_INET, hostText, &address->sin_addr) == 1;
}

// Waits for `events` on the socket until the deadline; false on time-out or error.
bool waitFor(int socket, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, int(left.count()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

class Socket {
  public:
    explicit Socket(int family)
        : fd_(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

bool connectWithin(const Socket& socket, const Endpoint& endpoint, Clock::time_point deadline) {
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&endpoint.address),
                  endpoint.length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (!waitFor(socket.fd(), POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// Sends DLE EOT n and reads the first byte of the answer; false when none comes in time.
bool askStatus(const Socket& socket, unsigned char n, std::chrono::milliseconds limit,
               unsigned char* answer) {
    const unsigned char request[] = {DLE, EOT, n};
    if (::send(socket.fd(), request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request))
        return false;
    if (!waitFor(socket.fd(), POLLIN, Clock::now() + limit))
        return false;
    unsigned char bytes[16];
    if (::recv(socket.fd(), bytes, sizeof bytes, MSG_DONTWAIT) <= 0)
        return false;
    *answer = bytes[0];
    return true;
}

bool isStatusByte(unsigned char byte) {
    return (byte & 0x93) == 0x12;
}

}  // namespace

int NetGetStatus(const char* address, unsigned char* buffer, int size, int /*a4*/, int /*a5*/) {
    return NetGetStatus(address, buffer, size, NetStatusLimits{});
}

int NetGetStatus(const char* address, unsigned char* buffer, int size,
                 const NetStatusLimits& limits) {
    Endpoint endpoint;
    if (address == nullptr || !parseAddress(address, &endpoint))
        return -1;
    const Socket socket(endpoint.address.ss_family);
    if (socket.fd() < 0)
        return -1;
    if (!connectWithin(socket, endpoint, Clock::now() + limits.connect))
        return -1;

    // Connected: the printer is there, whether or not it answers the status requests.
    for (int place = 0; place < int(sizeof statusRequests); ++place) {
        unsigned char answer = 0;
        if (!askStatus(socket, statusRequests[place], limits.answer, &answer))
            break;
        if (buffer != nullptr && place < size)
            buffer[place] = answer;
    }
    return 0;
}

PaperCondition paperCondition(const unsigned char* buffer, int size) {
    PaperCondition condition;
    if (buffer == nullptr)
        return condition;
    if (size > 1 && isStatusByte(buffer[1])) {
        condition.coverOpen = (buffer[1] & 0x04) != 0;
        condition.paperEnd = (buffer[1] & 0x20) != 0;
    }
    if (size > 2 && isStatusByte(buffer[2])) {
        condition.paperNearEnd = (buffer[2] & 0x0C) != 0;
        condition.paperEnd = condition.paperEnd || (buffer[2] & 0x60) != 0;
    }
    return condition;
}

}  // namespace cookhub::printing
