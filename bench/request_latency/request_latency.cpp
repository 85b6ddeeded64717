// Bridge-side latency of one handheld request. "FrameToAnswer" starts with
// the request in the frame buffer and ends with the answer frame built: the
// request line written, a front end that returns at once, the answer file
// read and the frame built. "WholeExchange" adds the real notice over the
// window socket to the front end simulator, which reads the request line
// file and writes the answer file before it returns. "DecodeAndBuild" is the
// pure part, without files or notices. Figures, not asserts.
#include "commands/dispatch.h"
#include "commands/request_lines.h"
#include "config/text_file.h"
#include "front_end_sim.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Buffer = std::array<std::uint8_t, padlink::kMaxFrameSize>;

struct Request {
    const char* name;
    Buffer frame;
    std::string answer;  // "|" between the answer file's lines
};

Buffer requestFrame(std::uint8_t command, std::size_t recordBytes) {
    Buffer frame{};
    frame[2] = 0x21;
    frame[3] = 1;
    frame[4] = 1;
    frame[7] = command;
    for (std::size_t i = 0; i < recordBytes; ++i) {
        frame[padlink::kHeaderSize + i] = static_cast<std::uint8_t>(i * 7);
    }
    padlink::sealFrame(frame, padlink::kHeaderSize + recordBytes);
    return frame;
}

std::string repeated(const std::string& head, const std::string& line, int count) {
    std::string text = head;
    for (int i = 0; i < count; ++i) {
        text += '|';
        text += line;
    }
    return text;
}

const std::vector<Request>& requests() {
    static const std::vector<Request> all{
        {"KT", requestFrame(0x51, 6), "0|1,2,3,4,5,6,7,8,9,10"},
        {"LD_10_items", requestFrame(0x31, 10 * 33), "0|1,2,3,4,5,6,7,8,9,10"},
        {"LD_123_items", requestFrame(0x31, 123 * 33), "0|1,2,3"},
        {"THDC_123_items", requestFrame(0x66, 6),
         repeated("0|1,2,3,4,5,6,7,8,9,12.34", "1,2,3,4,1.5,6,7,8,9,10,11,12,13,14,15,16,12.34,18",
                  123)},
        {"CXSXZT_1299", requestFrame(0x62, 0), repeated("0,1299", "100,3,4", 1299)},
    };
    return all;
}

std::string answerFileText(const std::string& answer) {
    std::string text;
    for (char c : answer) {
        text += c == '|' ? '\n' : c;
    }
    return text + "\n";
}

std::filesystem::path benchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "padlink-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

class ReturnsAtOnce final : public padlink::FrontEnd {
public:
    void notify(std::uint32_t, std::string_view) override {}
};

void frameToAnswer(benchmark::State& state, const Request& request) {
    const std::filesystem::path folder = benchFolder();
    const padlink::LinkSession session(folder, 1);
    padlink::writeTextFile(session.answerFile(), answerFileText(request.answer));
    ReturnsAtOnce frontEnd;
    const padlink::CommandContext context{0, &frontEnd, {}};
    Buffer frame;
    std::size_t length = 0;
    for (auto _ : state) {
        frame = request.frame;
        length = padlink::dispatchRequest(frame, session, context);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["answer_bytes"] = static_cast<double>(length);
    std::filesystem::remove_all(folder);
}

void wholeExchange(benchmark::State& state, const Request& request) {
    const std::filesystem::path ipc = benchFolder();
    const std::filesystem::path folder = benchFolder();
    setenv("PADLINK_IPC_DIR", ipc.c_str(), 1);
    const std::string title = "POS-bench-" + std::to_string(getpid());
    frontend::FrontEndSim frontEnd(title, folder);
    const padlink::Command* command = padlink::findCommand(request.frame[7]);
    frontEnd.setAnswer(std::string(command->notice), request.answer);
    if (!frontEnd.start()) {
        state.SkipWithError("front end window did not open");
        return;
    }
    padlink::LinkSession session(folder, 1);
    padlink::CommandLayer layer(0, padlink::findWindow(title), {});
    Buffer frame;
    std::size_t length = 0;
    for (auto _ : state) {
        frame = request.frame;
        length = layer.dispatchRequest(frame, session);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["answer_bytes"] = static_cast<double>(length);
    frontEnd.stop();
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(ipc);
}

void decodeAndBuild(benchmark::State& state, const Request& request) {
    const padlink::Command* command = padlink::findCommand(request.frame[7]);
    Buffer frame;
    for (auto _ : state) {
        frame = request.frame;
        const padlink::RequestLine line = padlink::buildRequestLine(frame, *command, 0);
        benchmark::DoNotOptimize(line.text.data());
        benchmark::DoNotOptimize(padlink::buildAnswer(command->answer, frame, request.answer));
    }
}

const bool registered = [] {
    for (const Request& request : requests()) {
        const std::string name = request.name;
        benchmark::RegisterBenchmark(("FrameToAnswer/" + name).c_str(), frameToAnswer, request)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("WholeExchange/" + name).c_str(), wholeExchange, request)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("DecodeAndBuild/" + name).c_str(), decodeAndBuild, request)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
