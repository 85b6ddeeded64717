// Windows found by title and WM_COPYDATA notices, over Unix stream sockets:
// a window is a socket named after its title in the IPC folder. One
// connection carries one message (little-endian u32 message, dwData, cbData,
// then cbData bytes) and the receiver writes back a u32 result once it has
// handled it. Nothing here knows Qt; the window layer decides on which thread
// a handler runs. Never trust the length a peer sends.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace padlink {

inline constexpr std::uint32_t kCopyDataMessage = 0x4A;
// Larger notices are refused: nothing the bridge exchanges comes near it.
inline constexpr std::uint32_t kMaxCopyData = 1u << 20;

// $PADLINK_IPC_DIR, else $XDG_RUNTIME_DIR/padlink, else /tmp/padlink-<uid>;
// created with mode 0700 when missing.
std::filesystem::path windowFolder();

// A window found by its title: the socket path.
struct WindowHandle {
    std::filesystem::path socket;
};

// The window when its socket accepts a connection. Titles that would leave
// the folder ("/", ".", "..") or do not fit a socket name find nothing.
std::optional<WindowHandle> findWindow(std::string_view title);

// Sends {dwData, text with its zero byte} and waits until the receiver has
// handled it. The result it wrote back, 0 when it closed without one (a
// receiver that died while handling the notice), nothing when it could not
// be reached.
std::optional<std::uint32_t> sendCopyData(const WindowHandle& window, std::uint32_t dwData,
                                          std::string_view text);

struct WindowMessage {
    std::uint32_t message = 0;
    std::uint32_t dwData = 0;
    std::string data;  // cbData bytes as received

    // The text up to its first zero byte, as WM_COPYDATA receivers read it.
    std::string_view text() const;
};

// A peer that connects and then stalls holds the window no longer than this.
inline constexpr std::chrono::milliseconds kReceiveLimit{5000};

// Listens as the window `title` and calls the handler for every message, one
// at a time, on its own thread; the handler's return value goes back to the
// sender. A stale socket of a dead owner is replaced. A peer that sends
// nothing for `receiveLimit` (a finder, a stalled sender) is dropped.
class WindowServer {
public:
    using Handler = std::function<std::uint32_t(const WindowMessage&)>;

    WindowServer(std::string title, Handler handler,
                 std::chrono::milliseconds receiveLimit = kReceiveLimit);
    ~WindowServer();
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;

    bool listening() const;
    const std::filesystem::path& socket() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace padlink
