// Window messages over Unix stream sockets.
#include "platform/window_messages.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace padlink {

namespace {

bool fillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool validTitle(std::string_view title) {
    return !title.empty() && title != "." && title != ".." &&
           title.find('/') == std::string_view::npos &&
           title.find('\0') == std::string_view::npos;
}

int connectTo(const std::filesystem::path& path) {
    sockaddr_un address{};
    if (!fillAddress(path, address)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads exactly `size` bytes; false on end of stream, error or a silent peer
// (when timeoutMs is not negative).
bool receiveAll(int fd, void* data, std::size_t size, int timeoutMs) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (timeoutMs >= 0) {
            pollfd entry{fd, POLLIN, 0};
            const int ready = ::poll(&entry, 1, timeoutMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return false;
            }
        }
        const ssize_t n = ::recv(fd, bytes, size, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t getU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

std::filesystem::path windowFolder() {
    std::filesystem::path folder;
    if (const char* named = std::getenv("PADLINK_IPC_DIR"); named != nullptr && *named != '\0') {
        folder = named;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
               runtime != nullptr && *runtime != '\0') {
        folder = std::filesystem::path(runtime) / "padlink";
    } else {
        folder = "/tmp/padlink-" + std::to_string(getuid());
    }
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::string_view WindowMessage::text() const {
    const std::string_view all(data);
    return all.substr(0, all.find('\0'));
}

std::optional<WindowHandle> findWindow(std::string_view title) {
    if (!validTitle(title)) {
        return std::nullopt;
    }
    WindowHandle window{windowFolder() / std::string(title)};
    const int fd = connectTo(window.socket);
    if (fd < 0) {
        return std::nullopt;
    }
    ::close(fd);
    return window;
}

std::optional<std::uint32_t> sendCopyData(const WindowHandle& window, std::uint32_t dwData,
                                          std::string_view text) {
    const int fd = connectTo(window.socket);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string message(12, '\0');
    auto* header = reinterpret_cast<std::uint8_t*>(message.data());
    putU32(header, kCopyDataMessage);
    putU32(header + 4, dwData);
    putU32(header + 8, static_cast<std::uint32_t>(text.size() + 1));
    message.append(text);
    message.push_back('\0');
    std::optional<std::uint32_t> result;
    if (sendAll(fd, message.data(), message.size())) {
        std::array<std::uint8_t, 4> answer{};
        // The sender waits as long as the receiver takes, like SendMessage.
        result = receiveAll(fd, answer.data(), answer.size(), -1) ? getU32(answer.data()) : 0u;
    }
    ::close(fd);
    return result;
}

struct WindowServer::State {
    std::filesystem::path socket;
    Handler handler;
    int receiveLimitMs = 0;
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;

    void serve() {
        for (;;) {
            std::array<pollfd, 2> entries{{{listenFd, POLLIN, 0}, {wakeRead, POLLIN, 0}}};
            const int ready = ::poll(entries.data(), entries.size(), -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready < 0 || entries[1].revents != 0) {
                return;
            }
            const int peer = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) {
                continue;
            }
            handle(peer);
            ::close(peer);
        }
    }

    void handle(int peer) {
        // A finder connects and leaves without a message; that is not an error.
        std::array<std::uint8_t, 12> header{};
        if (!receiveAll(peer, header.data(), header.size(), receiveLimitMs)) {
            return;
        }
        WindowMessage message;
        message.message = getU32(header.data());
        message.dwData = getU32(header.data() + 4);
        const std::uint32_t size = getU32(header.data() + 8);
        if (size > kMaxCopyData) {
            return;
        }
        message.data.resize(size);
        if (!receiveAll(peer, message.data.data(), size, receiveLimitMs)) {
            return;
        }
        std::array<std::uint8_t, 4> answer{};
        putU32(answer.data(), handler(message));
        sendAll(peer, answer.data(), answer.size());
    }
};

WindowServer::WindowServer(std::string title, Handler handler,
                           std::chrono::milliseconds receiveLimit)
    : state_(new State) {
    state_->handler = std::move(handler);
    // A peer that connects and then stalls must not hold the window forever.
    state_->receiveLimitMs = static_cast<int>(std::max<long long>(receiveLimit.count(), 0));
    if (!validTitle(title)) {
        return;
    }
    state_->socket = windowFolder() / title;
    sockaddr_un address{};
    if (!fillAddress(state_->socket, address)) {
        return;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    auto bindIt = [&] {
        return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };
    bool bound = bindIt();
    if (!bound && errno == EADDRINUSE) {
        // Left by an owner that died: replace it. A live owner keeps it.
        const int probe = connectTo(state_->socket);
        if (probe >= 0) {
            ::close(probe);
        } else {
            ::unlink(state_->socket.c_str());
            bound = bindIt();
        }
    }
    int pipeEnds[2];
    if (!bound || ::listen(fd, 16) != 0 || ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        ::close(fd);
        state_->socket.clear();
        return;
    }
    state_->listenFd = fd;
    state_->wakeRead = pipeEnds[0];
    state_->wakeWrite = pipeEnds[1];
    state_->thread = std::thread([state = state_.get()] { state->serve(); });
}

WindowServer::~WindowServer() {
    if (state_->listenFd < 0) {
        return;
    }
    const char stop = 1;
    while (::write(state_->wakeWrite, &stop, 1) < 0 && errno == EINTR) {
    }
    state_->thread.join();
    ::unlink(state_->socket.c_str());
    ::close(state_->listenFd);
    ::close(state_->wakeRead);
    ::close(state_->wakeWrite);
}

bool WindowServer::listening() const { return state_->listenFd >= 0; }

const std::filesystem::path& WindowServer::socket() const { return state_->socket; }

}  // namespace padlink
