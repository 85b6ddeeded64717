// The serial port against a real pseudo-terminal: the test holds the master
// side and plays the base station; the port under test opens the slave.
#include "platform/serial_port.h"

#include "link/result_codes.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace padlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Waits on a condition, never on a fixed time.
bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            char name[128];
            if (ptsname_r(master_, name, sizeof name) == 0) {
                slavePath_ = name;
            }
        }
    }
    ~PseudoTerminal() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    const std::string& slavePath() const { return slavePath_; }

    void send(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
    }
    // What the port wrote, `count` bytes (or fewer if they do not come).
    Bytes receive(std::size_t count) {
        Bytes bytes;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (bytes.size() < count && Clock::now() < deadline) {
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, 100) > 0) {
                std::uint8_t chunk[8192];
                const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
                if (n > 0) {
                    bytes.insert(bytes.end(), chunk, chunk + n);
                }
            }
        }
        return bytes;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// A sound reply frame with `payload` bytes.
Bytes requestFrame(std::size_t payload) {
    Bytes frame(kHeaderSize + payload);
    frame[2] = 0x0c;
    frame[3] = 2;
    frame[7] = 0x01;
    for (std::size_t i = kHeaderSize; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i);
    }
    sealFrame(frame, frame.size());
    return frame;
}

const Bytes kPoll{0x0c, 0x0b, 0x0a, 0x0a, 0xef, 0x7b, 0xcd};

class SerialPortOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.slavePath().empty());
        port.setTrafficSink([this](std::string_view text) { traffic.emplace_back(text); });
    }
    void openPort(int readTimeout = 30, int readInterval = 10) {
        ASSERT_EQ(port.open(pty.slavePath(), readTimeout, readInterval), kSuccess);
    }
    // Sends the bytes and waits until the port has them all waiting.
    void arrive(const Bytes& bytes) {
        const int before = port.bytesWaiting();
        pty.send(bytes);
        ASSERT_TRUE(waitUntil([&] {
            return port.bytesWaiting() >= before + static_cast<int>(bytes.size());
        }));
    }
    int read() {
        buffer.fill(0xEE);
        length = 777;
        return port.readReply(buffer, length);
    }
    Bytes delivered() const { return Bytes(buffer.begin(), buffer.begin() + length); }
    bool untouched() const {
        return length == 777 &&
               std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; });
    }

    PseudoTerminal pty;
    SerialPort port;
    std::vector<std::string> traffic;
    std::array<std::uint8_t, kMaxFrameSize> buffer{};
    std::uint32_t length = 0;
};

TEST(SerialPortNames, ComNumbersMapToTtyS) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},       {"COM12", "/dev/ttyS11"},   {"com3", "/dev/ttyS2"},
        {"COM0", "COM0"},             {"COM", "COM"},             {"COM1x", "COM1x"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"/dev/pts/3", "/dev/pts/3"},
    };
    for (const auto& [name, path] : cases) {
        EXPECT_EQ(devicePath(name), path);
    }
}

TEST(SerialPortOpen, FailuresGiveTheirCodesAndLeaveThePortClosed) {
    char file[] = "/tmp/padlink-serial-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::pair<std::string, int> cases[] = {
        {"/nonexistent/ttyS99", kOpenFailed},
        {"/dev/null", kGetStateFailed},
        {file, kGetStateFailed},
    };
    for (const auto& [path, code] : cases) {
        SerialPort port;
        EXPECT_EQ(port.open(path, 30, 30), code) << path;
        EXPECT_FALSE(port.isOpen()) << path;
        EXPECT_EQ(port.write(kPoll), kWriteFailed) << path;
    }
    EXPECT_EQ(lastOpenedPort.load(), -1);
    ::unlink(file);
}

TEST_F(SerialPortOnPty, OpenSetsRawLineAndRecordsTheLastPort) {
    openPort();
    termios settings{};
    ASSERT_EQ(tcgetattr(port.fd(), &settings), 0);
    EXPECT_EQ(cfgetispeed(&settings), B9600);
    EXPECT_EQ(cfgetospeed(&settings), B9600);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);

    EXPECT_EQ(lastOpenedPort.load(), port.fd());
    EXPECT_FALSE(dataSetReady(port.fd()).has_value()) << "a pty cannot report modem lines";
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(lastOpenedPort.load(), -1);
}

TEST_F(SerialPortOnPty, WriteSendsEveryByteAndDiscardsEarlierInput) {
    openPort();
    arrive({0x55, 0x66, 0x77});  // a late answer to the previous poll
    ASSERT_EQ(port.write(kPoll), kSuccess);
    EXPECT_EQ(pty.receive(kPoll.size()), kPoll);
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(read(), kNothingReceived);
    EXPECT_EQ(traffic.front(), "TX:0c 0b 0a 0a ef 7b cd ");

    // A full frame is not cut short by a partial write.
    const Bytes big = requestFrame(kMaxFrameSize - kHeaderSize);
    Bytes got;
    std::thread peer([&] { got = pty.receive(big.size()); });
    EXPECT_EQ(port.write(big), kSuccess);
    peer.join();
    EXPECT_EQ(got, big);
}

TEST_F(SerialPortOnPty, BurstsWithinTheSettleDelayAreOneReply) {
    openPort();
    const Bytes frame = requestFrame(20);
    const Bytes first(frame.begin(), frame.begin() + 9);
    const Bytes second(frame.begin() + 9, frame.end());
    int pauses = 0;
    // The second burst lands while the reader waits out its settle delay.
    port.setPause([&](int ms) {
        EXPECT_EQ(ms, 10);
        if (pauses++ == 0) {
            arrive(second);
        }
    });
    arrive(first);
    ASSERT_EQ(read(), kSuccess);
    EXPECT_EQ(delivered(), frame);
    EXPECT_EQ(pauses, 2);
}

TEST_F(SerialPortOnPty, ALongerPauseSplitsTheReplyAndTheRestIsPurged) {
    openPort();
    const Bytes frame = requestFrame(20);
    const Bytes head(frame.begin(), frame.begin() + 12);
    arrive(head);
    ASSERT_EQ(read(), kSuccess);
    EXPECT_EQ(delivered(), head) << "12 bytes go on unchecked";

    arrive(Bytes(frame.begin() + 12, frame.end()));
    ASSERT_EQ(port.write(kPoll), kSuccess);
    EXPECT_EQ(read(), kNothingReceived);
}

TEST_F(SerialPortOnPty, SilenceGives1007AfterTheTimeOuts) {
    struct Case {
        int readTimeout, readInterval;
        milliseconds atLeast;  // one byte asked: timeout x 1 + 5, then the settle delay
    };
    const Case cases[] = {{30, 10, milliseconds(45)}, {0, 0, milliseconds(5)}};
    for (const auto& c : cases) {
        openPort(c.readTimeout, c.readInterval);
        traffic.clear();
        const auto start = Clock::now();
        EXPECT_EQ(read(), kNothingReceived);
        EXPECT_GE(Clock::now() - start, c.atLeast);
        EXPECT_TRUE(untouched());
        EXPECT_EQ(traffic, (std::vector<std::string>{"RX:"}));
    }
}

TEST_F(SerialPortOnPty, AcceptanceRulesDecideWhatIsDelivered) {
    openPort();
    Bytes wrongLength12 = requestFrame(0);
    wrongLength12[6] = 0x40;
    Bytes badCrc13 = requestFrame(1);
    badCrc13[9] ^= 0xFF;
    Bytes ready = requestFrame(8);
    ready[3] = kReadyType;
    Bytes radioTest = requestFrame(25);
    radioTest[7] = kRadioTestCommand;
    radioTest[8] ^= 0xFF;
    struct Case {
        const char* name;
        Bytes reply;
        int rc;
        bool delivered;
    };
    const Case cases[] = {
        {"sound frame", requestFrame(30), kSuccess, true},
        {"12 bytes, wrong length", wrongLength12, kSuccess, true},
        {"13 bytes, bad crc", badCrc13, kReplyRejected, false},
        {"type 4", ready, kSuccess, false},
        {"radio test, bad crc", radioTest, kSuccess, true},
    };
    for (const auto& c : cases) {
        arrive(c.reply);
        EXPECT_EQ(read(), c.rc) << c.name;
        if (c.delivered) {
            EXPECT_EQ(delivered(), c.reply) << c.name;
        } else {
            EXPECT_TRUE(untouched()) << c.name;
        }
    }
}

TEST_F(SerialPortOnPty, TrafficTextsOfReplies) {
    openPort();
    arrive(Bytes(12, 0x00));
    EXPECT_EQ(read(), kSuccess);
    arrive({0x01, 0xab});
    EXPECT_EQ(read(), kSuccess);
    EXPECT_EQ(traffic, (std::vector<std::string>{"RX:", "RX:01 ab "}));
}

TEST_F(SerialPortOnPty, AReplyLongerThanAFrameStopsAtTheBuffer) {
    openPort();
    pty.send(Bytes(kMaxFrameSize + 900, 0x11));
    ASSERT_TRUE(waitUntil([&] { return port.bytesWaiting() > 0; }));
    EXPECT_EQ(read(), kReplyRejected);
    EXPECT_TRUE(untouched());
}

TEST_F(SerialPortOnPty, StatusReadFindsTheFrameInWhateverArrives) {
    openPort();
    const Bytes status{0x00, 0x01, 0x00, 0x07, 0x01, 0x00, 0x0C, 0x05, 0x00, 0x00, 0x00, 0x0C};
    Bytes noisy{0xde, 0xad, 0x00};
    noisy.insert(noisy.end(), status.begin(), status.end());
    Bytes noMatch = status;
    noMatch[11] = 0x0D;
    noMatch.insert(noMatch.end(), {0x00, 0x01});
    struct Case {
        const char* name;
        Bytes arriving;
        int rc;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"exact", status, kSuccess, 12},
        {"behind noise", noisy, kSuccess, 12},
        {"no window matches", noMatch, kNothingReceived, 14},
        {"fewer than 12", Bytes(status.begin(), status.begin() + 11), kNothingReceived, 777},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, kStatusBufferSize> status100{};
        std::uint32_t statusLength = 777;
        traffic.clear();
        arrive(c.arriving);
        EXPECT_EQ(port.readStatus(status100, statusLength), c.rc) << c.name;
        EXPECT_EQ(statusLength, c.length) << c.name;
        if (c.rc == kSuccess) {
            EXPECT_EQ(Bytes(status100.begin(), status100.begin() + 12), status) << c.name;
        } else {
            EXPECT_EQ(Bytes(status100.begin(), status100.begin() + c.arriving.size()),
                      c.arriving) << c.name;
        }
        ASSERT_EQ(traffic.size(), 1u);
        EXPECT_EQ(traffic[0].rfind("DLRX:", 0), 0u) << c.name;
        EXPECT_EQ(traffic[0].size(), 5 + 3 * c.arriving.size()) << c.name;
    }
}

}  // namespace
}  // namespace padlink
