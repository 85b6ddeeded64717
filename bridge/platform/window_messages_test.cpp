// Window messages and the instance lock on real Unix sockets and files, each
// test in a private IPC folder.
#include "platform/single_instance.h"
#include "platform/window_messages.h"

#include "config/test_folder.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace padlink {
namespace {

class WindowMessages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        ASSERT_EQ(setenv("PADLINK_IPC_DIR", (folder.path() / "ipc").c_str(), 1), 0);
    }
    void TearDown() override { unsetenv("PADLINK_IPC_DIR"); }

    // A raw client that sends whatever bytes a faulty peer might.
    void sendRaw(const std::string& bytes, bool waitForClose) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (windowFolder() / "Padlink").c_str());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
        if (waitForClose) {
            char sink[16];
            while (::recv(fd, sink, sizeof sink, 0) > 0) {
            }
        }
        ::close(fd);
    }

    testing::TestFolder folder;
};

TEST_F(WindowMessages, NoticeRoundTripCarriesDataAndResult) {
    std::mutex lock;
    std::vector<WindowMessage> received;
    WindowServer server("Padlink", [&](const WindowMessage& message) {
        const std::lock_guard guard(lock);
        received.push_back(message);
        return 41u + static_cast<std::uint32_t>(received.size());
    });
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(server.socket(), folder.path() / "ipc" / "Padlink");

    const auto window = findWindow("Padlink");
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(sendCopyData(*window, 7, "TC"), 42u);
    EXPECT_EQ(sendCopyData(*window, 0, "COMFL"), 43u);

    const std::lock_guard guard(lock);
    ASSERT_EQ(received.size(), 2u);  // the finder's empty connection is no message
    EXPECT_EQ(received[0].message, kCopyDataMessage);
    EXPECT_EQ(received[0].dwData, 7u);
    EXPECT_EQ(received[0].data, std::string("TC", 3));
    EXPECT_EQ(received[0].text(), "TC");
    EXPECT_EQ(received[1].text(), "COMFL");
}

TEST_F(WindowMessages, TitlesThatNameNoWindowFindNothing) {
    WindowServer server("Padlink", [](const WindowMessage&) { return 0u; });
    const std::string cases[] = {"", "Nobody", ".", "..", "../ipc/Padlink", "a/b",
                                 std::string(200, 'x')};
    for (const auto& title : cases) {
        EXPECT_FALSE(findWindow(title).has_value()) << title;
    }
    EXPECT_FALSE(sendCopyData(WindowHandle{folder.path() / "ipc" / "Nobody"}, 0, "XS"));
}

TEST_F(WindowMessages, ReceiverThatDiesWhileHandlingCountsAsReturned) {
    const auto path = windowFolder() / "Front";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    std::thread front([&] {
        const int peer = ::accept(listener, nullptr, nullptr);
        char header[12];
        ::recv(peer, header, sizeof header, MSG_WAITALL);
        ::close(peer);  // gone without an answer
    });
    EXPECT_EQ(sendCopyData(WindowHandle{path}, 3, "COMFL"), 0u);
    front.join();
    ::close(listener);
}

TEST_F(WindowMessages, FaultyPeersNeitherCrashNorBlockTheWindow) {
    std::atomic<int> handled{0};
    WindowServer server("Padlink", [&](const WindowMessage& message) {
        handled += message.text() == "XS" ? 1 : 100;
        return 0u;
    });
    auto header = [](std::uint32_t message, std::uint32_t dwData, std::uint32_t size) {
        std::string bytes;
        for (std::uint32_t v : {message, dwData, size}) {
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<char>(v >> (8 * i)));
            }
        }
        return bytes;
    };
    sendRaw(header(0x4A, 0, 0xFFFFFFFFu), true);      // absurd length
    sendRaw(header(0x4A, 0, 100) + "short", false);   // ends mid-message
    sendRaw("\x4a\x00", false);                       // ends mid-header
    sendRaw(header(0x4A, 0, 2) + "XS", true);         // no zero byte: still "XS"
    const auto window = findWindow("Padlink");
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(sendCopyData(*window, 0, "XS"), 0u);
    EXPECT_EQ(handled.load(), 2);
}

// A peer that connects and sends nothing holds the window for the receive
// limit only; the notice behind it is handled after that.
TEST_F(WindowMessages, SilentPeerHoldsTheWindowOnlyForTheReceiveLimit) {
    std::atomic<int> handled{0};
    WindowServer server(
        "Padlink", [&](const WindowMessage&) { return static_cast<std::uint32_t>(++handled); },
        std::chrono::milliseconds(200));
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, server.socket().c_str());
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval limit{10, 0};  // the test's own bound on the wait below
    ASSERT_EQ(::setsockopt(silent, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);

    auto notice = std::async(std::launch::async, [] {
        const auto window = findWindow("Padlink");
        return window ? sendCopyData(*window, 0, "XS") : std::nullopt;
    });
    // The window drops the silent peer: its connection ends without a result.
    char byte = 0;
    EXPECT_EQ(::recv(silent, &byte, 1, 0), 0) << "the silent peer was not dropped";
    const bool answered = notice.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    ::close(silent);  // releases the window should it still wait
    ASSERT_TRUE(answered) << "the notice behind the silent peer was not handled";
    EXPECT_EQ(notice.get(), std::optional<std::uint32_t>(1u));
}

TEST_F(WindowMessages, StaleSocketIsReplacedButALiveOwnerKeepsItsTitle) {
    {
        WindowServer first("Padlink", [](const WindowMessage&) { return 1u; });
        WindowServer second("Padlink", [](const WindowMessage&) { return 2u; });
        EXPECT_TRUE(first.listening());
        EXPECT_FALSE(second.listening());
        EXPECT_EQ(sendCopyData(*findWindow("Padlink"), 0, "XS"), 1u);
    }
    // A socket file without a listener, as a crashed owner leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, (windowFolder() / "Padlink").c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    WindowServer replacement("Padlink", [](const WindowMessage&) { return 3u; });
    ASSERT_TRUE(replacement.listening());
    EXPECT_EQ(sendCopyData(*findWindow("Padlink"), 0, "XS"), 3u);
}

TEST_F(WindowMessages, InstanceLockAdmitsOneHolderAndNotADeadOne) {
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1), 0);
    {
        InstanceLock first;
        InstanceLock second;
        EXPECT_TRUE(first.acquire("Padlink.exe"));
        EXPECT_FALSE(second.acquire("Padlink.exe"));
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "Padlink.exe"));
    }
    // A holder that crashes without letting go.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock held;
        _exit(held.acquire("Padlink.exe") ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    InstanceLock next;
    EXPECT_TRUE(next.acquire("Padlink.exe"));
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace padlink
