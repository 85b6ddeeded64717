// NetGetStatus against real sockets on 127.0.0.1: a printer that answers, one that
// stays silent, a port that refuses, and addresses that must fail at once. The time
// bounds are the contract's own limits with room to spare, not measurements.
#include "platform/printing/net_status.h"

#include "test_support/tcp_listener.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <mutex>
#include <string>

namespace cookhub::printing {
namespace {

using std::chrono::milliseconds;
using testing::TcpListener;

constexpr unsigned char untouched = 0xEE;

struct Timed {
    int result;
    milliseconds took;
};

Timed timedStatus(const std::string& address, unsigned char* buffer, int size) {
    const auto start = std::chrono::steady_clock::now();
    const int result = NetGetStatus(address.c_str(), buffer, size, 3, 3);
    return {result,
            std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)};
}

// A printer port that records the request and answers with `answer` (nothing when empty).
class StatusPort {
  public:
    explicit StatusPort(QByteArray answer)
        : answer_(std::move(answer)), listener_([this](int socket) {
              const QByteArray request = testing::readBytes(socket, 3, 2000);
              {
                  std::lock_guard lock(mutex_);
                  request_ = request;
              }
              if (!answer_.isEmpty())
                  ::send(socket, answer_.constData(), size_t(answer_.size()), MSG_NOSIGNAL);
              testing::readUntilClosed(socket, 3000);
          }) {}
    std::string address() const { return "127.0.0.1:" + std::to_string(listener_.port()); }
    bool listening() const { return listener_.listening(); }
    QByteArray request() const {
        std::lock_guard lock(mutex_);
        return request_;
    }

  private:
    QByteArray answer_;
    mutable std::mutex mutex_;
    QByteArray request_;
    TcpListener listener_;
};

TEST(NetGetStatus, AnsweringPrinterFillsOnlyTheBytesTheBufferHolds) {
    struct Case {
        QByteArray answer;
        int size;
        std::array<unsigned char, 4> expected;
    };
    const Case cases[] = {
        {QByteArray("\x12", 1), 4, {0x12, untouched, untouched, untouched}},
        {QByteArray("\x12\x13\x14\x15\x16\x17", 6), 4, {0x12, 0x13, 0x14, 0x15}},  // more than fits
        {QByteArray("\x12\x13\x14", 3), 1, {0x12, untouched, untouched, untouched}},
        {QByteArray("\x12", 1), 0, {untouched, untouched, untouched, untouched}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "answer of " << c.answer.size() << " bytes, size " << c.size);
        StatusPort printer(c.answer);
        ASSERT_TRUE(printer.listening());
        std::array<unsigned char, 4> buffer;
        buffer.fill(untouched);
        EXPECT_EQ(timedStatus(printer.address(), buffer.data(), c.size).result, 0);
        EXPECT_EQ(buffer, c.expected);
        EXPECT_EQ(printer.request(), QByteArray("\x10\x04\x01", 3));
    }
}

TEST(NetGetStatus, SilentPrinterCountsAsPresentWithinTheAnswerLimit) {
    StatusPort printer({});
    ASSERT_TRUE(printer.listening());
    std::array<unsigned char, 4> buffer;
    buffer.fill(untouched);
    const Timed status = timedStatus(printer.address(), buffer.data(), 4);
    EXPECT_EQ(status.result, 0);
    EXPECT_LT(status.took, milliseconds(1500));
    EXPECT_EQ(buffer, (std::array<unsigned char, 4>{untouched, untouched, untouched, untouched}));
    EXPECT_EQ(printer.request(), QByteArray("\x10\x04\x01", 3));
}

// A port whose accept queue is full: the kernel drops further handshakes, so a connect
// there hangs like one to a printer that went off the network.
class HandshakeNeverCompletes {
  public:
    HandshakeNeverCompletes() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int& filler : fillers_) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~HandshakeNeverCompletes() {
        for (const int filler : fillers_) ::close(filler);
        ::close(listener_);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    int listener_ = -1;
    unsigned short port_ = 0;
    std::array<int, 3> fillers_{};
};

TEST(NetGetStatus, UnreachablePrinterIsMinusOneWithinTheConnectLimit) {
    const HandshakeNeverCompletes offTheNetwork;
    const std::string cases[] = {
        "127.0.0.1:" + std::to_string(TcpListener::closedPort()),  // refused
        offTheNetwork.address(),                                   // no answer to the handshake
        "192.0.2.1",                                               // documentation network
    };
    for (const std::string& address : cases) {
        SCOPED_TRACE(address);
        std::array<unsigned char, 4> buffer;
        buffer.fill(untouched);
        const Timed status = timedStatus(address, buffer.data(), 4);
        EXPECT_EQ(status.result, -1);
        EXPECT_LT(status.took, milliseconds(1500));
        EXPECT_EQ(buffer[0], untouched);
    }
}

TEST(NetGetStatus, EmptyOrMalformedAddressFailsAtOnce) {
    const char* const cases[] = {
        "",
        "   ",
        ":9100",
        "127.0.0.1:",
        "127.0.0.1:0",
        "127.0.0.1:65536",
        "127.0.0.1:91a0",
        "127.0.0.1:-1",
        "256.1.1.1",
        "192.168.1",
        "printer.kitchen",
        "127.0.0.1 9100",
        "[::1",
        "[::1]9100",
        "::1",
    };
    for (const char* address : cases) {
        SCOPED_TRACE(address);
        unsigned char buffer[4] = {untouched, untouched, untouched, untouched};
        const Timed status = timedStatus(address, buffer, 4);
        EXPECT_EQ(status.result, -1);
        EXPECT_LT(status.took, milliseconds(200));
        EXPECT_EQ(buffer[0], untouched);
    }
    unsigned char buffer[4] = {untouched, untouched, untouched, untouched};
    EXPECT_EQ(NetGetStatus(nullptr, buffer, 4, 3, 3), -1);
}

TEST(NetGetStatus, PortAndPaddingAreHonoured) {
    StatusPort printer(QByteArray("\x12", 1));
    ASSERT_TRUE(printer.listening());
    unsigned char buffer[4] = {untouched, untouched, untouched, untouched};
    // Fixed-width database columns pad the address with blanks.
    EXPECT_EQ(NetGetStatus((" " + printer.address() + "   ").c_str(), buffer, 4, 3, 3), 0);
    EXPECT_EQ(buffer[0], 0x12);
}

}  // namespace
}  // namespace cookhub::printing
