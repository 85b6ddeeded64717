// Times one manual download of a dish table to one handheld and sets it
// beside the least time the conversation can take: the line time of every
// frame at the given baud rate, the fixed pauses after each frame, and the
// status read's 50 ms interval time-out. A pseudo-terminal has no baud rate,
// so the bridge's writes are held for their line time (as a synchronous
// write on a real port is) and the handheld answers after its status's line
// time. Figures only; nothing here asserts.
#include "config/text_file.h"
#include "download/conversations.h"
#include "download/handheld_peer.h"
#include "link/result_codes.h"
#include "platform/serial_port.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop

// A serial port whose writes take their line time.
class LineTimedPort {
public:
    LineTimedPort(padlink::SerialPort& port, double baud) : port_(port), baud_(baud) {}
    int write(std::span<const std::uint8_t> bytes) {
        const auto start = Clock::now();
        const int rc = port_.write(bytes);
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(Seconds(lineTime(bytes.size()))));
        return rc;
    }
    int readStatus(padlink::StatusBuffer status, std::uint32_t& length) {
        return port_.readStatus(status, length);
    }
    double lineTime(std::size_t bytes) const { return double(bytes) * kBitsPerByte / baud_; }

private:
    padlink::SerialPort& port_;
    double baud_;
};

class QuietHost final : public padlink::DownloadHost {
public:
    void postDownloadProgress(std::string_view) override {}
    void showMessage(const padlink::Notice& notice) override {
        std::fprintf(stderr, "message: %s\n", notice.text.c_str());
    }
    void postDisplayLine(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    int lines = 10'000;
    double baud = 9600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--lines") {
            lines = std::atoi(argv[i + 1]);
        } else if (option == "--baud") {
            baud = std::atof(argv[i + 1]);
        }
    }
    if (lines < 1 || baud <= 0) {
        std::fprintf(stderr, "usage: table-download-bench [--lines N] [--baud B]\n");
        return 2;
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "table-download-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const std::filesystem::path folder = pattern;
    std::string text;
    for (int i = 1; i <= lines; ++i) {
        // id, category, series, short name, name, price, unit
        text += std::to_string(i) + "," + std::to_string(i % 40) + "," + std::to_string(i % 7) +
                ",C" + std::to_string(i) + ",\xba\xec\xc9\xd5\xc8\xe2 " + std::to_string(i) + "," +
                std::to_string(1000 + i % 500) + ",1\n";
    }
    padlink::writeTextFile(folder / padlink::tableFile(1)->fileName, text);

    padlink::TableChoice tables{};
    std::atomic<int> count{0};
    std::atomic<int> stop{0};
    std::atomic<int> mode{1};
    padlink::StationFlags selected{};
    padlink::StationFlags shown{};
    const bool boxes[padlink::kTableCount] = {true};
    padlink::takeChoice({tables, count}, std::span<const bool, padlink::kTableCount>(boxes));
    QuietHost host;
    const padlink::DownloadContext context{{stop, mode, selected, shown, {tables, count}}, host};

    handheld::PeerScript script;
    script.wants = handheld::Wants::manual;
    script.answerLastEnd = true;  // the handheld confirms; silence would cost a full read time-out
    handheld::PtyHandheld peer(script);
    if (!peer.ok()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    padlink::SerialPort serial;
    LineTimedPort line(serial, baud);
    peer.setReplyDelay(std::chrono::duration_cast<std::chrono::microseconds>(
        Seconds(line.lineTime(12))));
    peer.start();
    // 30 ms per byte: the default read time-out of the timing file.
    if (serial.open(peer.slavePath(), 30, 0) != padlink::kSuccess) {
        std::fprintf(stderr, "cannot open %s\n", peer.slavePath().c_str());
        return 1;
    }

    // The request, as the poll thread receives it; not part of the download.
    std::array<std::uint8_t, padlink::kMaxFrameSize> buffer{};
    std::uint32_t length = 0;
    serial.write(padlink::pollFrame(script.address[0], script.address[1], script.address[2],
                                    padlink::PollKind::download));
    for (int attempt = 0; attempt < 100 && length == 0; ++attempt) {
        serial.readReply(buffer, length);
    }
    if (length < 12 || buffer[7] != 0x81) {
        std::fprintf(stderr, "no download request from the handheld\n");
        return 1;
    }

    padlink::LinkSession session(folder, 1);
    const auto start = Clock::now();
    const int rc = padlink::manualDownload(line, buffer, session, 0, "654321", context);
    const double measured = Seconds(Clock::now() - start).count();
    peer.stop();

    const auto frames = peer.framesReceived();
    const auto received = peer.tables();
    double lineSeconds = 0;
    std::size_t bytes = 0;
    for (const auto& frame : frames) {
        lineSeconds += line.lineTime(frame.size());
        bytes += frame.size();
    }
    // After the list 100 ms, after every other frame 50 ms; every status read
    // ends 50 ms after the status's last byte (its interval time-out). The
    // status's own line time passes inside the pause.
    const double pauses = frames.empty() ? 0 : 0.100 + 0.050 * double(frames.size() - 1);
    const double readTails = 0.050 * double(frames.size());
    const double minimum = lineSeconds + pauses + readTails;
    const bool complete = !received.empty() && received.front().complete() &&
                          received.front().records().size() == std::size_t(lines) * 50;

    std::printf("table download: %d dishes, %.0f baud, result %d, table %s\n", lines, baud, rc,
                complete ? "complete" : "INCOMPLETE");
    std::printf("  frames %zu, bytes %zu\n", frames.size(), bytes);
    std::printf("  minimum   %9.3f s  (line %.3f s + pauses %.3f s + read time-outs %.3f s)\n",
                minimum, lineSeconds, pauses, readTails);
    std::printf("  measured  %9.3f s\n", measured);
    std::printf("  ratio     %9.4f  (%.2f %% over the minimum)\n", measured / minimum,
                (measured / minimum - 1.0) * 100.0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return rc == padlink::kManualDone && complete ? 0 : 1;
}
