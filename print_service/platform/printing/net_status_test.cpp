// NetGetStatus against real sockets on 127.0.0.1, with the simulated network printer
// as the peer: a printer that answers (in every paper and cover state), one that stays
// silent, one that refuses and comes back, one whose handshake never completes, and
// addresses that must fail. The limits are made short instead of timing the calls.
#include "platform/printing/net_status.h"

#include "net_printer_sim.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <string>

namespace cookhub::printing {
namespace {

using namespace Qt::StringLiterals;

using std::chrono::milliseconds;

constexpr unsigned char untouched = 0xEE;
// Short limits: loopback answers in microseconds, and a silent peer costs only these.
constexpr NetStatusLimits quick{milliseconds(300), milliseconds(60)};

using Buffer = std::array<unsigned char, 4>;

Buffer freshBuffer() {
    Buffer buffer;
    buffer.fill(untouched);
    return buffer;
}

TEST(NetGetStatus, AnsweringPrinterReportsItsPaperAndCover) {
    struct Case {
        const char* name;
        netprinter::PaperState state;
        Buffer bytes;
        PaperCondition condition;
    };
    const Case cases[] = {
        {"ready", {}, {0x12, 0x12, 0x12, untouched}, {}},
        {"near end", {false, false, true}, {0x12, 0x12, 0x1E, untouched}, {false, false, true}},
        {"paper out", {false, true, false}, {0x1A, 0x32, 0x7E, untouched}, {false, true, true}},
        {"cover open", {true, false, false}, {0x1A, 0x16, 0x12, untouched}, {true, false, false}},
    };
    netprinter::NetPrinterSim printer;
    ASSERT_TRUE(printer.listening());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        printer.setPaper(c.state);
        Buffer buffer = freshBuffer();
        EXPECT_EQ(NetGetStatus(printer.address().c_str(), buffer.data(), 4, 3, 3), 0);
        EXPECT_EQ(buffer, c.bytes);
        EXPECT_EQ(paperCondition(buffer.data(), 4), c.condition);
    }
}

TEST(NetGetStatus, NeverWritesBeyondTheBuffer) {
    netprinter::NetPrinterSim printer;
    ASSERT_TRUE(printer.listening());
    for (const int size : {0, 1, 2}) {
        SCOPED_TRACE(size);
        Buffer buffer = freshBuffer();
        EXPECT_EQ(NetGetStatus(printer.address().c_str(), buffer.data(), size, quick), 0);
        for (int at = 0; at < 4; ++at)
            EXPECT_EQ(buffer[size_t(at)], at < size ? 0x12 : untouched) << at;
    }
    EXPECT_EQ(NetGetStatus(printer.address().c_str(), nullptr, 4, quick), 0);
}

TEST(NetGetStatus, SilentPrinterCountsAsPresentAndIsAskedOnce) {
    netprinter::NetPrinterSim printer;
    ASSERT_TRUE(printer.listening());
    printer.setSilent(true);
    Buffer buffer = freshBuffer();
    EXPECT_EQ(NetGetStatus(printer.address().c_str(), buffer.data(), 4, quick), 0);
    EXPECT_EQ(buffer, freshBuffer());
    EXPECT_EQ(paperCondition(buffer.data(), 4), PaperCondition{});
    // Without an answer to the first request there is no point asking the others.
    for (int wait = 0; wait < 100 && printer.statusRequests() == 0; ++wait) ::usleep(10000);
    EXPECT_EQ(printer.statusRequests(), 1);
}

TEST(NetGetStatus, PrinterThatGoesAwayIsMinusOneUntilItComesBack) {
    netprinter::NetPrinterSim printer;
    ASSERT_TRUE(printer.listening());
    Buffer buffer = freshBuffer();
    printer.goAway();
    EXPECT_EQ(NetGetStatus(printer.address().c_str(), buffer.data(), 4, quick), -1);
    EXPECT_EQ(buffer, freshBuffer());
    ASSERT_TRUE(printer.comeBack());
    EXPECT_EQ(NetGetStatus(printer.address().c_str(), buffer.data(), 4, quick), 0);
    EXPECT_EQ(buffer[0], 0x12);
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

TEST(NetGetStatus, HandshakeThatNeverCompletesIsMinusOne) {
    const HandshakeNeverCompletes offTheNetwork;
    Buffer buffer = freshBuffer();
    EXPECT_EQ(NetGetStatus(offTheNetwork.address().c_str(), buffer.data(), 4, quick), -1);
    EXPECT_EQ(buffer, freshBuffer());
}

TEST(NetGetStatus, EmptyOrMalformedAddressFails) {
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
        Buffer buffer = freshBuffer();
        EXPECT_EQ(NetGetStatus(address, buffer.data(), 4, quick), -1);
        EXPECT_EQ(buffer, freshBuffer());
    }
    Buffer buffer = freshBuffer();
    EXPECT_EQ(NetGetStatus(nullptr, buffer.data(), 4, 3, 3), -1);
}

TEST(NetGetStatus, PortAndPaddingAreHonoured) {
    netprinter::NetPrinterSim printer;
    ASSERT_TRUE(printer.listening());
    Buffer buffer = freshBuffer();
    // Fixed-width database columns pad the address with blanks.
    EXPECT_EQ(NetGetStatus((" " + printer.address() + "   ").c_str(), buffer.data(), 4, quick), 0);
    EXPECT_EQ(buffer[0], 0x12);
}

TEST(NetGetStatus, BytesThatAreNoStatusSayNothingAboutPaper) {
    const unsigned char noise[] = {0x00, 0xFF, 0x7F};
    EXPECT_EQ(paperCondition(noise, 3), PaperCondition{});
    EXPECT_EQ(paperCondition(nullptr, 3), PaperCondition{});
    const unsigned char out[] = {0x1A, 0x32, 0x7E};
    EXPECT_EQ(paperCondition(out, 2), (PaperCondition{false, true, false}));
}

// The simulator as the demo's printers use it: a raw job between status requests is
// kept whole, without the requests, in a file of its own.
TEST(NetPrinterSim, KeepsEachJobAsAFileWithoutTheStatusRequests) {
    QTemporaryDir jobs;
    netprinter::NetPrinterSim printer(0, jobs.path().toStdString());
    ASSERT_TRUE(printer.listening());
    for (const std::string& job :
         {std::string("\x1b@first\x10\x04\x01ticket\n\x10", 18), std::string("second")}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(printer.port());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(fd, job.data(), job.size(), MSG_NOSIGNAL), ssize_t(job.size()));
        ::close(fd);
    }
    for (int wait = 0; wait < 200 && printer.jobs().size() < 2; ++wait) ::usleep(10000);
    ASSERT_EQ(printer.jobs().size(), 2u);
    QFile first(jobs.filePath(u"0001.bin"_s));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), QByteArray("\x1b@firstticket\n\x10", 15));
    EXPECT_EQ(printer.jobs()[1], "second");
    EXPECT_EQ(printer.statusRequests(), 1);
}

}  // namespace
}  // namespace cookhub::printing
