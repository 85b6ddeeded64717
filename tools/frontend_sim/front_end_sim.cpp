// The POS front end simulator.
#include "front_end_sim.h"

#include "config/text_file.h"
#include "platform/window_messages.h"

#include <unistd.h>
#include <fstream>
#include <set>

namespace frontend {

namespace {

const std::set<std::string, std::less<>> kRequestNotices{
    "CC",   "LD",     "JC",     "DYTD",   "LDZS", "XGJG", "JZ",   "DL",   "KT",  "DT", "CT",
    "XGMM", "CXSXZT", "DCSXZT", "ZDSXZT", "THDC", "ZTDC", "GQXL", "XGRS", "ZJC", "JQ"};

std::string readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// "a|b" as the answer file's lines "a" and "b".
std::string answerFileText(std::string_view answer) {
    std::string text;
    for (char c : answer) {
        text += c == '|' ? '\n' : c;
    }
    text += '\n';
    return text;
}

}  // namespace

std::optional<std::map<std::string, std::string>> readScript(const std::filesystem::path& file) {
    const auto lines = padlink::readTextLines(file);
    if (!lines) {
        return std::nullopt;
    }
    std::map<std::string, std::string> script;
    for (const std::string& line : *lines) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            return std::nullopt;
        }
        script[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return script;
}

std::string defaultAnswer(std::string_view notice) {
    if (!kRequestNotices.contains(notice)) {
        return {};
    }
    if (notice == "LD") {
        return "0|1";
    }
    if (notice == "KT" || notice == "DT") {
        return "0|1,0,0,0,0,0,0,0,0,0";
    }
    if (notice == "THDC" || notice == "ZTDC") {
        return "0|1,0,0,0,0,0,0,0,0,0.00";
    }
    if (notice == "GQXL") {
        return "0,0,0";
    }
    if (notice == "CXSXZT" || notice == "DCSXZT" || notice == "ZDSXZT") {
        return "0,0";
    }
    if (notice == "DL") {
        return "0,0,0,0,0,0,0,0,0,0,0";
    }
    return "0";
}

FrontEndSim::FrontEndSim(std::string title, std::filesystem::path exchangeFolder)
    : title_(std::move(title)), folder_(std::move(exchangeFolder)) {}

FrontEndSim::~FrontEndSim() {
    stop();
}

void FrontEndSim::setAnswer(const std::string& notice, std::string answer) {
    answers_[notice] = std::move(answer);
}

bool FrontEndSim::start() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    window_ = std::make_unique<padlink::WindowServer>(
        title_, [this](const padlink::WindowMessage& message) { return handle(message); });
    return window_->listening();
}

void FrontEndSim::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    window_.reset();
}

std::vector<Notice> FrontEndSim::notices() const {
    const std::lock_guard lock(mutex_);
    return notices_;
}

bool FrontEndSim::waitForNotices(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return notices_.size() >= count; });
}

std::uint32_t FrontEndSim::handle(const padlink::WindowMessage& message) {
    Notice notice;
    notice.station = message.dwData;
    notice.name = std::string(message.text());
    const std::string station = std::to_string(message.dwData);
    const std::filesystem::path requestFile = folder_ / ("TX" + station + ".txt");
    const std::filesystem::path answerFile = folder_ / ("RX" + station + ".txt");

    const bool request = kRequestNotices.contains(notice.name);
    if (request) {
        notice.requestLine = readWhole(requestFile);
    }
    if (failure_ == Failure::diesWhileHandling && request) {
        _exit(3);  // on purpose: the bridge must take the closed connection as a return
    }
    if (failure_ == Failure::neverReturns && request) {
        {
            std::unique_lock lock(mutex_);
            notices_.push_back(notice);
            changed_.notify_all();
            changed_.wait(lock, [&] { return stopping_; });
        }
        if (observer_) {
            observer_(notice);
        }
        return 0;
    }
    if (request) {
        const auto scripted = answers_.find(notice.name);
        std::optional<std::string> answer;
        if (scripted != answers_.end()) {
            answer = scripted->second;
        } else if (responder_) {
            answer = responder_(notice);
        }
        if (!answer) {
            answer = defaultAnswer(notice.name);
        }
        notice.answered = padlink::writeTextFile(answerFile, answerFileText(*answer));
    }
    if (observer_) {
        observer_(notice);
    }
    const std::lock_guard lock(mutex_);
    notices_.push_back(std::move(notice));
    changed_.notify_all();
    return 1;
}

bool sendToBridge(std::string_view notice, std::string_view bridgeTitle) {
    const auto window = padlink::findWindow(bridgeTitle);
    return window && padlink::sendCopyData(*window, 0, notice).has_value();
}

pid_t startBridge(const std::filesystem::path& program, const std::string& title,
                  const std::filesystem::path& home) {
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    if (chdir(home.c_str()) != 0) {
        _exit(127);
    }
    const std::string path = program.string();
    execl(path.c_str(), path.c_str(), title.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace frontend
