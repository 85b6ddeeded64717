// The handheld peer: protocol state and its pseudo-terminal runner.
#include "download/handheld_peer.h"

#include "link/frame.h"
#include "link/link_session.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <numeric>

namespace handheld {
namespace {

constexpr std::uint8_t kManualRequest = 0x81;
constexpr std::uint8_t kUpdateRequest = 0x82;
constexpr std::uint8_t kReady = 4;
constexpr std::uint8_t kEndOfTable = 6;
constexpr std::uint8_t kAcknowledge = 7;
constexpr std::uint8_t kData = 8;
constexpr std::uint8_t kSendCurrent = 9;
constexpr std::size_t kPacketHead = 15;

bool isPoll(const Bytes& bytes) {
    return bytes.size() >= padlink::kPollFrameSize && bytes[4] == 0xEF && bytes[5] == 0x7B &&
           bytes[6] == 0xCD;
}

std::size_t bigEndian16(const Bytes& bytes, std::size_t at) {
    return (std::size_t{bytes[at]} << 8) | bytes[at + 1];
}

}  // namespace

Bytes statusFrame(std::uint8_t type, std::uint8_t index, std::uint8_t table) {
    return {0x00, index, 0x00, type, 0x01, 0x00, 0x0C, table, 0x00, 0x00, 0x00, 0x0C};
}

bool ReceivedTable::complete() const {
    if (!ended || declaredPackets < 1) {
        return false;
    }
    for (int k = 0; k < declaredPackets; ++k) {
        if (!packets.contains(k)) {
            return false;
        }
    }
    return records().size() == declaredSize;
}

Bytes ReceivedTable::records() const {
    Bytes all;
    for (const auto& [index, bytes] : packets) {
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

HandheldConversation::HandheldConversation(PeerScript script) : script_(std::move(script)) {}

Bytes HandheldConversation::request() const {
    Bytes frame(padlink::kHeaderSize, 0);
    frame[2] = script_.address[0];
    frame[3] = 1;
    frame[4] = 1;
    if (script_.wants == Wants::manual) {
        frame[7] = kManualRequest;
    } else {
        frame[7] = kUpdateRequest;
        for (const VersionRow& row : script_.versionRows) {
            frame.insert(frame.end(), row.begin(), row.end());
        }
    }
    padlink::sealFrame(frame, frame.size());
    return frame;
}

std::vector<Bytes> HandheldConversation::receive(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<Bytes> out;
    for (;;) {
        if (pending_.size() < padlink::kPollFrameSize) {
            break;
        }
        // A link frame never has EF 7B CD at bytes 4-6: its length would be 0x7BCD.
        if (isPoll(pending_)) {
            auto replies = handlePoll(std::span(pending_.data(), padlink::kPollFrameSize));
            out.insert(out.end(), replies.begin(), replies.end());
            pending_.erase(pending_.begin(), pending_.begin() + padlink::kPollFrameSize);
            continue;
        }
        if (pending_.size() < padlink::kHeaderSize) {
            break;
        }
        // The no-update answer keeps the request's length fields but is 12 bytes.
        std::size_t length = pending_[0] == 0 ? padlink::kHeaderSize : bigEndian16(pending_, 5);
        if (length < padlink::kHeaderSize || length > padlink::kMaxFrameSize) {
            ++badFrames_;
            pending_.erase(pending_.begin());
            continue;
        }
        if (pending_.size() < length) {
            break;
        }
        const Bytes frame(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        auto replies = handleFrame(frame);
        out.insert(out.end(), replies.begin(), replies.end());
    }
    return out;
}

std::vector<Bytes> HandheldConversation::quiet() {
    if (!lost_) {
        return {};
    }
    std::vector<Bytes> out{*lost_};
    lost_.reset();
    return out;
}

std::vector<Bytes> HandheldConversation::handlePoll(std::span<const std::uint8_t> poll) {
    if (!std::equal(script_.address.begin(), script_.address.end(), poll.begin()) || requested_) {
        return {};
    }
    if (script_.wants == Wants::manual && poll[3] != 0x0C) {
        return {};
    }
    requested_ = true;
    return {request()};
}

ReceivedTable& HandheldConversation::table(int number) {
    for (ReceivedTable& t : tables_) {
        if (t.number == number) {
            return t;
        }
    }
    tables_.push_back({});
    tables_.back().number = number;
    return tables_.back();
}

std::vector<Bytes> HandheldConversation::startTable(std::size_t position) {
    current_ = position;
    if (position >= listed_.size()) {
        finished_ = true;
        return {};
    }
    return {statusFrame(kSendCurrent, 0, static_cast<std::uint8_t>(listed_[position]))};
}

std::vector<Bytes> HandheldConversation::answer(Bytes status) {
    const std::size_t index = frames_.size() - 1;
    if (script_.silentAfter >= 0 && index >= static_cast<std::size_t>(script_.silentAfter)) {
        return {};
    }
    if (static_cast<int>(index) == script_.dropStatusAt && !dropped_) {
        dropped_ = true;
        lost_ = std::move(status);
        return {};
    }
    return {std::move(status)};
}

std::vector<Bytes> HandheldConversation::handleFrame(const Bytes& frame) {
    frames_.push_back(frame);
    lost_.reset();
    const std::uint8_t type = frame[3];
    const std::uint8_t command = frame[7];

    if (type == kEndOfTable) {
        ReceivedTable& ended = table(command);
        if (ended.ended && finished_) {
            return {};  // the closing repeat of the last end
        }
        ended.ended = true;
        if (current_ < listed_.size() && listed_[current_] == command) {
            auto next = startTable(current_ + 1);
            if (!next.empty()) {
                return answer(std::move(next.front()));
            }
        }
        finished_ = true;
        if (script_.answerLastEnd) {
            return answer(statusFrame(kReady, 0, command));
        }
        return {};
    }
    if (type != kData) {
        return {};
    }
    if (frame[0] == 0) {
        noUpdate_ = true;
        finished_ = true;
        return {};
    }
    if (command == kManualRequest || command == kUpdateRequest) {
        listed_.clear();
        for (std::size_t at = padlink::kHeaderSize; at + 7 <= frame.size(); at += 7) {
            const int number = frame[at];
            if (number >= 1 && number <= padlink::kTableCount) {
                listed_.push_back(number);
            }
        }
        auto first = startTable(0);
        return first.empty() ? std::vector<Bytes>{} : answer(std::move(first.front()));
    }
    if (command < 1 || command > padlink::kTableCount) {
        return {};
    }

    const auto payload = std::span(frame).subspan(padlink::kHeaderSize);
    const std::uint16_t crc = static_cast<std::uint16_t>((frame[8] << 8) | frame[9]);
    if (padlink::frameCrc(payload) != crc || bigEndian16(frame, 10) != frame.size()) {
        ++badFrames_;
        return answer(statusFrame(kAcknowledge, 0xFF, command));
    }
    ReceivedTable& received = table(command);
    received.declaredPackets = frame[4];
    ++received.packetsReceived;
    if (frame.size() >= kPacketHead) {
        received.declaredSize = (std::uint32_t{frame[12]} << 16) | (std::uint32_t{frame[13]} << 8) |
                                frame[14];
        received.packets[frame[1]] = Bytes(frame.begin() + kPacketHead, frame.end());
    } else {
        received.declaredSize = 0;
        received.packets[frame[1]] = {};
    }
    if (script_.repeatForeverFrom >= 0 && frame[1] >= script_.repeatForeverFrom) {
        return answer(statusFrame(kAcknowledge, 0xFF, command));
    }
    if (script_.repeatPacket == frame[1] && !repeated_ && !listed_.empty() &&
        listed_.front() == command) {
        repeated_ = true;
        return answer(statusFrame(kAcknowledge, 0xFF, command));
    }
    if (script_.strayAcknowledge >= 0 && !strayed_) {
        strayed_ = true;
        return answer(statusFrame(kAcknowledge, static_cast<std::uint8_t>(script_.strayAcknowledge),
                                  command));
    }
    const std::uint8_t reply = script_.wants == Wants::manual ? kReady : kAcknowledge;
    return answer(statusFrame(reply, frame[1], command));
}

RawPty openRawPty() {
    RawPty pty;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        if (master >= 0) {
            ::close(master);
        }
        return pty;
    }
    pty.master = master;
    pty.slavePath = name;
    pty.slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slaveKeeper >= 0) {
        termios settings{};
        if (tcgetattr(pty.slaveKeeper, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(pty.slaveKeeper, TCSANOW, &settings);
        }
    }
    return pty;
}

PtyHandheld::PtyHandheld(PeerScript script) : conversation_(std::move(script)) {
    RawPty pty = openRawPty();
    int pipeFds[2];
    if (pty.master < 0 || pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        for (int fd : {pty.master, pty.slaveKeeper}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return;
    }
    slavePath_ = pty.slavePath;
    slaveKeeper_ = pty.slaveKeeper;
    master_ = pty.master;
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
}

PtyHandheld::~PtyHandheld() {
    stop();
    for (int fd : {master_, slaveKeeper_, wakeRead_, wakeWrite_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void PtyHandheld::start() {
    if (ok() && !thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void PtyHandheld::stop() {
    if (thread_.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const auto n = ::write(wakeWrite_, &wake, 1);
        thread_.join();
    }
}

void PtyHandheld::send(const std::vector<Bytes>& frames) {
    if (frames.empty()) {
        return;
    }
    std::this_thread::sleep_for(replyDelay_);
    for (const Bytes& frame : frames) {
        std::size_t written = 0;
        while (written < frame.size()) {
            const ssize_t n = ::write(master_, frame.data() + written, frame.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return;
            }
        }
    }
}

void PtyHandheld::run() {
    using Clock = std::chrono::steady_clock;
    std::array<std::uint8_t, 8192> chunk{};
    auto lastTraffic = Clock::now();
    std::size_t framesSeen = 0;
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, 10);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            // What the bridge wrote before the stop still counts.
            const int left = ::poll(fds, 1, 0) > 0 && (fds[0].revents & POLLIN)
                                 ? static_cast<int>(::read(master_, chunk.data(), chunk.size()))
                                 : 0;
            if (left > 0) {
                std::lock_guard lock(mutex_);
                conversation_.receive(std::span(chunk.data(), static_cast<std::size_t>(left)));
            }
            return;
        }
        std::vector<Bytes> replies;
        std::vector<std::pair<std::size_t, Bytes>> newFrames;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master_, chunk.data(), chunk.size());
            if (n > 0) {
                lastTraffic = Clock::now();
                std::lock_guard lock(mutex_);
                replies = conversation_.receive(std::span(chunk.data(), static_cast<std::size_t>(n)));
                const auto& frames = conversation_.framesReceived();
                for (; framesSeen < frames.size(); ++framesSeen) {
                    newFrames.emplace_back(framesSeen, frames[framesSeen]);
                    lastFrameAt_ = lastTraffic;
                }
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // No bridge holds the line at the moment; wait for one.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else if (Clock::now() - lastTraffic > resendAfter_) {
            std::lock_guard lock(mutex_);
            replies = conversation_.quiet();
            lastTraffic = Clock::now();
        }
        if (observer_) {
            for (const auto& [number, frame] : newFrames) {
                observer_(number, frame);
            }
        }
        send(replies);
    }
}

std::vector<ReceivedTable> PtyHandheld::tables() const {
    std::lock_guard lock(mutex_);
    return conversation_.tables();
}

std::vector<Bytes> PtyHandheld::framesReceived() const {
    std::lock_guard lock(mutex_);
    return conversation_.framesReceived();
}

bool PtyHandheld::finished() const {
    std::lock_guard lock(mutex_);
    return conversation_.finished();
}

bool PtyHandheld::noUpdate() const {
    std::lock_guard lock(mutex_);
    return conversation_.noUpdate();
}

int PtyHandheld::badFrames() const {
    std::lock_guard lock(mutex_);
    return conversation_.badFrames();
}

std::chrono::steady_clock::time_point PtyHandheld::lastFrameAt() const {
    std::lock_guard lock(mutex_);
    return lastFrameAt_;
}

}  // namespace handheld
