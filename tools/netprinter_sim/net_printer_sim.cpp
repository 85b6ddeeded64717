// The simulated network printer. One thread serves the port: it accepts, answers
// status requests as they arrive and collects job bytes until the sender closes.
#include "net_printer_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace netprinter {

namespace {

constexpr unsigned char DLE = 0x10;
constexpr unsigned char EOT = 0x04;

}  // namespace

unsigned char statusByte(int n, const PaperState& paper) {
    // Every real-time status byte has bits 1 and 4 set and bits 0 and 7 clear.
    unsigned char status = 0x12;
    const bool stopped = paper.coverOpen || paper.paperEnd;
    switch (n) {
        case 1:  // printer: offline
            if (stopped)
                status |= 0x08;
            break;
        case 2:  // offline cause: cover open, stopped by paper end
            if (paper.coverOpen)
                status |= 0x04;
            if (paper.paperEnd)
                status |= 0x20;
            break;
        case 4:  // roll paper sensor: near end, end
            if (paper.paperNearEnd || paper.paperEnd)
                status |= 0x0C;
            if (paper.paperEnd)
                status |= 0x60;
            break;
        default:  // error cause: none
            break;
    }
    return status;
}

NetPrinterSim::NetPrinterSim(std::uint16_t port, std::string jobDir)
    : port_(port), jobDir_(std::move(jobDir)) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    if (openListener())
        thread_ = std::thread([this] { run(); });
}

NetPrinterSim::~NetPrinterSim() {
    stopping_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
    const int listener = listener_.exchange(-1);
    if (listener >= 0)
        ::close(listener);
    for (const int fd : {wakeRead_, wakeWrite_})
        if (fd >= 0)
            ::close(fd);
}

std::string NetPrinterSim::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

bool NetPrinterSim::openListener() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return false;
    }
    port_ = ntohs(address.sin_port);
    listener_ = fd;
    return true;
}

void NetPrinterSim::wake() {
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        (void)!::write(wakeWrite_, &byte, 1);
    }
}

void NetPrinterSim::setPaper(const PaperState& paper) {
    std::lock_guard lock(mutex_);
    paper_ = paper;
}

void NetPrinterSim::goAway() {
    {
        std::lock_guard lock(mutex_);
        // The serving thread may be inside poll() on the listener, which keeps the socket
        // alive past close(); shutdown stops the listening at once.
        const int listener = listener_.exchange(-1);
        if (listener >= 0) {
            ::shutdown(listener, SHUT_RDWR);
            ::close(listener);
        }
    }
    dropConnections_ = true;
    wake();
}

bool NetPrinterSim::comeBack() {
    std::lock_guard lock(mutex_);
    if (listener_ >= 0)
        return true;
    if (!openListener())
        return false;
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    wake();
    return true;
}

std::vector<std::string> NetPrinterSim::jobs() const {
    std::lock_guard lock(mutex_);
    return jobs_;
}

void NetPrinterSim::finishJob(Connection& connection) {
    connection.job += connection.pending;
    connection.pending.clear();
    if (connection.job.empty())
        return;
    std::lock_guard lock(mutex_);
    jobs_.push_back(connection.job);
    if (!jobDir_.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/%04zu.bin", jobs_.size());
        std::ofstream(jobDir_ + name, std::ios::binary) << connection.job;
    }
    connection.job.clear();
}

void NetPrinterSim::serve(Connection& connection, const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        connection.pending.push_back(data[i]);
        const std::string& p = connection.pending;
        const auto byte = [&](size_t at) { return static_cast<unsigned char>(p[at]); };
        if (byte(0) != DLE || (p.size() >= 2 && byte(1) != EOT)) {
            connection.job += p;
            connection.pending.clear();
            continue;
        }
        if (p.size() < 3)
            continue;
        const int n = byte(2);
        if (n < 1 || n > 4) {
            connection.job += p;
            connection.pending.clear();
            continue;
        }
        connection.pending.clear();
        ++statusRequests_;
        if (silent_)
            continue;
        unsigned char answer;
        {
            std::lock_guard lock(mutex_);
            answer = statusByte(n, paper_);
        }
        (void)::send(connection.fd, &answer, 1, MSG_NOSIGNAL);
    }
}

void NetPrinterSim::run() {
    std::vector<Connection> connections;
    while (!stopping_) {
        if (dropConnections_.exchange(false)) {
            for (const Connection& connection : connections) ::close(connection.fd);
            connections.clear();
        }
        std::vector<pollfd> fds;
        fds.push_back({wakeRead_, POLLIN, 0});
        const int listener = listener_.load();
        fds.push_back({listener, POLLIN, 0});  // a negative fd is skipped by poll
        for (const Connection& connection : connections) fds.push_back({connection.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 1000) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
            continue;  // the listener or the connections may have changed
        }
        for (size_t i = connections.size(); i-- > 0;) {
            if (!(fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[4096];
            const ssize_t got = ::recv(connections[i].fd, chunk, sizeof chunk, 0);
            if (got > 0) {
                serve(connections[i], chunk, size_t(got));
                continue;
            }
            finishJob(connections[i]);
            ::close(connections[i].fd);
            connections.erase(connections.begin() + std::ptrdiff_t(i));
        }
        if (listener >= 0 && (fds[1].revents & POLLIN)) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                connections.push_back({fd, {}, {}});
        }
    }
    for (const Connection& connection : connections) ::close(connection.fd);
}

}  // namespace netprinter
