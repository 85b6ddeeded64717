// The simulated base station.
#include "base_station_sim.h"

#include "link/frame.h"
#include "link/handheld_table.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace basestation {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string hexText(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        text += hex;
    }
    return text;
}

// A lost status goes again after the line has been this quiet; shorter than
// the bridge's give-up time in either conversation.
constexpr auto kResendAfter = std::chrono::milliseconds(400);

std::string addressText(const std::array<std::uint8_t, 3>& address) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", address[2], address[1], address[0]);
    return text;
}

}  // namespace

std::string receivedTableName(std::string_view address, bool manual, int table) {
    char number[4];
    std::snprintf(number, sizeof number, "%02d", table);
    return std::string(address) + (manual ? "-manual-" : "-update-") + number + ".bin";
}

std::optional<std::vector<handheld::VersionRow>> readVersionRows(
    const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::vector<handheld::VersionRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        handheld::VersionRow row{};
        std::istringstream fields(line);
        std::string field;
        for (std::size_t i = 0; i < row.size() && std::getline(fields, field, ','); ++i) {
            row[i] = static_cast<std::uint8_t>(std::atoi(field.c_str()));
        }
        rows.push_back(row);
    }
    return rows;
}

std::optional<std::array<std::uint8_t, 3>> parseAddress(std::string_view text) {
    if (text.size() != 6) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 3> highFirst{};
    for (std::size_t i = 0; i < 3; ++i) {
        const int hi = hexDigit(text[2 * i]);
        const int lo = hexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        highFirst[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return std::array<std::uint8_t, 3>{highFirst[2], highFirst[1], highFirst[0]};
}

std::optional<std::vector<Bytes>> readHexFrames(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::vector<Bytes> frames;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::string digits;
        for (char c : line) {
            if (c == ' ' || c == '\t' || c == '\r' || c == ',') {
                continue;
            }
            if (hexDigit(c) < 0) {
                return std::nullopt;
            }
            digits += c;
        }
        if (digits.empty()) {
            continue;
        }
        if (digits.size() % 2 != 0 || digits.size() / 2 > padlink::kMaxFrameSize) {
            return std::nullopt;
        }
        Bytes frame;
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            frame.push_back(
                static_cast<std::uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

Bytes requestFrame(std::uint8_t addressLow, std::uint8_t command, const Bytes& payload) {
    Bytes frame(padlink::kHeaderSize + payload.size());
    frame[2] = addressLow;
    frame[3] = 2;
    frame[4] = 1;
    frame[7] = command;
    std::copy(payload.begin(), payload.end(), frame.begin() + padlink::kHeaderSize);
    padlink::sealFrame(frame, frame.size());
    return frame;
}

BaseStationSim::BaseStationSim() {
    handheld::RawPty pty = handheld::openRawPty();
    master_ = pty.master;
    if (master_ < 0) {
        return;
    }
    slavePath_ = pty.slavePath;
    slaveKeeper_ = pty.slaveKeeper;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
        wakeRead_ = ends[0];
        wakeWrite_ = ends[1];
    }
}

BaseStationSim::~BaseStationSim() {
    stop();
    for (int fd : {master_, slaveKeeper_, wakeRead_, wakeWrite_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void BaseStationSim::addHandheld(HandheldScript script, DownloadScript download) {
    if (script.every < 1) {
        script.every = 1;
    }
    download.peer.address = script.address;
    scripts_.push_back(std::move(script));
    downloadScripts_.push_back(std::move(download));
    nextFrame_.push_back(0);
    pollsSeen_.push_back(0);
    downloadsAsked_.push_back(0);
    manualServed_.push_back(false);
}

void BaseStationSim::start() {
    if (!ok() || thread_.joinable()) {
        return;
    }
    thread_ = std::thread([this] { run(); });
}

void BaseStationSim::stop() {
    if (!thread_.joinable()) {
        return;
    }
    const char stop = 1;
    while (::write(wakeWrite_, &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
}

std::vector<Poll> BaseStationSim::polls() const {
    const std::lock_guard lock(mutex_);
    return polls_;
}

std::size_t BaseStationSim::badAnswers() const {
    const std::lock_guard lock(mutex_);
    return badAnswers_;
}

std::vector<Bytes> BaseStationSim::framesReceived() const {
    const std::lock_guard lock(mutex_);
    return frames_;
}

std::size_t BaseStationSim::pollCount() const {
    const std::lock_guard lock(mutex_);
    return polls_.size();
}

int BaseStationSim::downloadsStarted() const {
    const std::lock_guard lock(mutex_);
    return downloadsStarted_;
}

std::vector<std::filesystem::path> BaseStationSim::tablesWritten() const {
    const std::lock_guard lock(mutex_);
    return tablesWritten_;
}

bool BaseStationSim::waitFor(const std::function<bool(const std::vector<Poll>&)>& condition,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(polls_); });
}

void BaseStationSim::run() {
    for (;;) {
        std::array<pollfd, 2> entries{{{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}}};
        // During a download the quiet line matters too: a lost status goes again.
        const int ready = ::poll(entries.data(), entries.size(), active_ ? 20 : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || entries[1].revents != 0) {
            return;
        }
        if ((entries[0].revents & POLLIN) == 0) {
            if (active_ && Clock::now() - lastTraffic_ > kResendAfter) {
                lastTraffic_ = Clock::now();
                sendAll(active_->quiet());
            }
            if ((entries[0].revents & (POLLHUP | POLLERR)) != 0) {
                // No bridge holds the line at the moment.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            continue;
        }
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            lastTraffic_ = Clock::now();
            pending_.insert(pending_.end(), chunk, chunk + n);
            consume();
        }
    }
}

void BaseStationSim::consume() {
    // The bridge sends polls and answer frames; anything else is skipped a
    // byte at a time until one of them lines up.
    for (;;) {
        if (pending_.size() >= 7 && pending_[4] == 0xEF && pending_[5] == 0x7B &&
            pending_[6] == 0xCD) {
            // The bridge polls again only once a conversation is over.
            endDownload();
            Poll poll{Clock::now(), {}};
            std::copy_n(pending_.begin(), 7, poll.bytes.begin());
            pending_.erase(pending_.begin(), pending_.begin() + 7);
            {
                const std::lock_guard lock(mutex_);
                polls_.push_back(poll);
            }
            changed_.notify_all();
            if (observer_) {
                observer_("poll " + hexText(poll.bytes.data(), poll.bytes.size()));
            }
            answer(poll.bytes);
            continue;
        }
        if (active_) {
            // The handheld frames the conversation itself (the no-update frame
            // keeps the request's length, so a length field cannot be trusted).
            feedDownload();
            return;
        }
        if (pending_.size() >= padlink::kHeaderSize) {
            const std::size_t length = static_cast<std::size_t>(pending_[5]) << 8 | pending_[6];
            if (length >= padlink::kHeaderSize && length <= padlink::kMaxFrameSize) {
                if (pending_.size() < length) {
                    return;  // the rest is on its way
                }
                Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(length));
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
                // A handheld checks an answer as the bridge checks a reply: both
                // lengths and the payload checksum.
                const bool sound = padlink::checkReply(frame) != padlink::ReplyVerdict::reject;
                if (observer_) {
                    observer_(
                        std::string(sound ? "answer ok " : "answer BAD (length or checksum) ") +
                        hexText(frame.data(), frame.size()));
                }
                {
                    const std::lock_guard lock(mutex_);
                    badAnswers_ += sound ? 0 : 1;
                    frames_.push_back(std::move(frame));
                }
                changed_.notify_all();
                continue;
            }
        }
        if (pending_.size() < 7) {
            return;
        }
        pending_.erase(pending_.begin());
    }
}

std::function<void(std::span<const std::uint8_t>)> BaseStationSim::afterPurgeHook() {
    {
        const std::lock_guard lock(mutex_);
        holdReplies_ = true;
    }
    auto written = std::make_shared<std::size_t>(0);
    return [this, written](std::span<const std::uint8_t> bytes) {
        if (bytes.size() != 7 || bytes[4] != 0xEF || bytes[5] != 0x7B || bytes[6] != 0xCD) {
            return;  // an answer frame: no reply follows it
        }
        {
            const std::lock_guard lock(mutex_);
            released_ = ++*written;
        }
        changed_.notify_all();
    };
}

void BaseStationSim::waitForRelease(std::size_t poll) {
    std::unique_lock lock(mutex_);
    if (holdReplies_) {
        changed_.wait_for(lock, std::chrono::seconds(2), [&] { return released_ >= poll; });
    }
}

void BaseStationSim::answer(const std::array<std::uint8_t, 7>& poll) {
    for (std::size_t s = 0; s < scripts_.size(); ++s) {
        HandheldScript& script = scripts_[s];
        if (!std::equal(script.address.begin(), script.address.end(), poll.begin())) {
            continue;
        }
        if (script.mode == ReplyMode::manualDownload && poll[3] != padlink::kDownloadMark) {
            manualServed_[s] = false;
            return;
        }
        if (++pollsSeen_[s] % script.every != 0) {
            return;
        }
        if (script.mode == ReplyMode::manualDownload || script.mode == ReplyMode::updateDownload) {
            startDownload(s, poll);
            return;
        }
        Bytes reply;
        switch (script.mode) {
            case ReplyMode::silent:
                return;
            case ReplyMode::frames:
            case ReplyMode::badCrc:
                if (script.once && nextFrame_[s] >= script.frames.size()) {
                    return;
                }
                if (script.frames.empty()) {
                    reply = requestFrame(poll[0], 0x31, Bytes(33, 0x11));
                } else {
                    reply = script.frames[nextFrame_[s]++ % script.frames.size()];
                }
                if (script.mode == ReplyMode::badCrc && reply.size() > 9) {
                    reply[9] ^= 0x5A;
                }
                break;
            case ReplyMode::manualDownload:
            case ReplyMode::updateDownload:
                return;
            case ReplyMode::garbage:
                reply = {0x13, 0x57, poll[0], 0x20, 0x99, 0x00, 0x05, 0x42, 0xde,
                         0xad, 0xbe, 0xef,    0x01, 0x02, 0x03, 0x04, 0x05};
                break;
        }
        // A real radio answers no sooner than this; answering at once would
        // race the bridge's purge right after its write.
        std::this_thread::sleep_for(replyDelay_);
        waitForRelease(pollCount());
        if (observer_) {
            observer_("request " + hexText(reply.data(), reply.size()));
        }
        send(reply);
        return;
    }
}

void BaseStationSim::send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace basestation

namespace basestation {

void BaseStationSim::sendAll(const std::vector<Bytes>& frames) {
    if (frames.empty()) {
        return;
    }
    std::this_thread::sleep_for(replyDelay_);
    for (const Bytes& frame : frames) {
        send(frame);
    }
}

void BaseStationSim::startDownload(std::size_t script, const std::array<std::uint8_t, 7>& poll) {
    const HandheldScript& chosen = scripts_[script];
    const DownloadScript& download = downloadScripts_[script];
    const bool manual = chosen.mode == ReplyMode::manualDownload;
    if ((manual && manualServed_[script]) ||
        (download.maxDownloads >= 0 && downloadsAsked_[script] >= download.maxDownloads)) {
        return;
    }
    ++downloadsAsked_[script];
    handheld::PeerScript peer = download.peer;
    peer.wants = manual ? handheld::Wants::manual : handheld::Wants::update;
    active_ = std::make_unique<handheld::HandheldConversation>(std::move(peer));
    activeScript_ = script;
    activeWritten_.clear();
    {
        const std::lock_guard lock(mutex_);
        ++downloadsStarted_;
    }
    changed_.notify_all();
    if (observer_) {
        observer_("download " + addressText(chosen.address) + (manual ? " manual" : " update") +
                  " requested");
    }
    sendAll(active_->receive(poll));
}

void BaseStationSim::feedDownload() {
    const Bytes bytes = std::move(pending_);
    pending_.clear();
    const auto replies = active_->receive(bytes);
    writeReceivedTables();
    sendAll(replies);
}

void BaseStationSim::endDownload() {
    if (!active_) {
        return;
    }
    const HandheldScript& script = scripts_[activeScript_];
    if (script.mode == ReplyMode::manualDownload && active_->finished()) {
        manualServed_[activeScript_] = true;
    }
    if (observer_) {
        observer_("download " + addressText(script.address) +
                  (active_->finished() ? " finished" : " broken off") + ", " +
                  std::to_string(activeWritten_.size()) + " tables whole");
    }
    active_.reset();
}

void BaseStationSim::writeReceivedTables() {
    if (tablesFolder_.empty()) {
        return;
    }
    const HandheldScript& script = scripts_[activeScript_];
    const bool manual = script.mode == ReplyMode::manualDownload;
    for (const handheld::ReceivedTable& table : active_->tables()) {
        if (!table.complete() || std::find(activeWritten_.begin(), activeWritten_.end(),
                                           table.number) != activeWritten_.end()) {
            continue;
        }
        activeWritten_.push_back(table.number);
        const auto target =
            tablesFolder_ / receivedTableName(addressText(script.address), manual, table.number);
        auto partial = target;
        partial += ".part";
        const Bytes records = table.records();
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(records.data()),
                      static_cast<std::streamsize>(records.size()));
            if (!out) {
                continue;
            }
        }
        // Whole or not at all: a reader waiting for the file never sees half of it.
        std::error_code failed;
        std::filesystem::rename(partial, target, failed);
        if (failed) {
            continue;
        }
        {
            const std::lock_guard lock(mutex_);
            tablesWritten_.push_back(target);
        }
        changed_.notify_all();
        if (observer_) {
            observer_("download " + addressText(script.address) + " table " +
                      std::to_string(table.number) + ": " + std::to_string(table.records().size()) +
                      " bytes -> " + target.string());
        }
    }
}

}  // namespace basestation
