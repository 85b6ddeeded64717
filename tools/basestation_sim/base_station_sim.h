// A base station with handhelds on a pseudo-terminal: the bridge opens the
// slave side as its serial port, and the simulator answers each poll for a
// configured handheld with its scripted reply. It records every poll and
// every other frame the bridge sends, with the time it arrived, so tests and
// the timing bench can look at the line from the far end. It fails on purpose
// when told to (a silent handheld, a bad checksum, garbage); it must never
// answer a handheld that is not configured. A handheld can also take tables:
// it asks for a manual or an update download and holds the conversation
// until the bridge polls again, writing every table it reassembled whole to
// the tables folder.
#pragma once

#include "download/handheld_peer.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace basestation {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

enum class ReplyMode {
    silent,          // never answers
    frames,          // the scripted frames in turn, round and round
    badCrc,          // the scripted frames (or a default request) with a wrong checksum
    garbage,         // bytes that pass no check
    manualDownload,  // answers download polls with a manual download request
    updateDownload,  // answers polls with an update request and its version rows
};

struct HandheldScript {
    std::array<std::uint8_t, 3> address{};  // as on the line: low, middle, high
    ReplyMode mode = ReplyMode::silent;
    std::vector<Bytes> frames;
    // Answer only every n-th poll of this handheld; the others stay silent.
    int every = 1;
    // frames: send each scripted frame once, then stay silent.
    bool once = false;
};

// What a download handheld holds and how it misbehaves.
struct DownloadScript {
    // Version rows and misbehaviour; the address is the handheld's own.
    handheld::PeerScript peer;
    // Asks for no more than this many downloads (-1: no limit).
    int maxDownloads = -1;
};

// The file a download handheld writes a reassembled table to, in the tables
// folder: "<address>-<manual|update>-<NN>.bin", the records in packet order.
std::string receivedTableName(std::string_view address, bool manual, int table);

// Version rows as the version file holds them: 7 integers a line, one byte
// each; what is missing is 0. Nothing when the file cannot be read.
std::optional<std::vector<handheld::VersionRow>> readVersionRows(const std::filesystem::path& file);

// "0a0b0c" (high byte first, as the handheld file writes it) as line bytes.
std::optional<std::array<std::uint8_t, 3>> parseAddress(std::string_view text);

// One frame per non-empty line of hexadecimal bytes; "#" starts a comment.
// Nothing when the file cannot be read or a line holds a non-hex character.
std::optional<std::vector<Bytes>> readHexFrames(const std::filesystem::path& file);

// A request frame with sound length and checksum fields.
Bytes requestFrame(std::uint8_t addressLow, std::uint8_t command, const Bytes& payload);

struct Poll {
    Clock::time_point at;
    std::array<std::uint8_t, 7> bytes{};
};

class BaseStationSim {
  public:
    BaseStationSim();
    ~BaseStationSim();
    BaseStationSim(const BaseStationSim&) = delete;
    BaseStationSim& operator=(const BaseStationSim&) = delete;

    // False when the pseudo-terminal could not be made.
    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // Before start().
    void addHandheld(HandheldScript script, DownloadScript download = {});
    void setReplyDelay(std::chrono::microseconds delay) { replyDelay_ = delay; }
    // For SerialPort::setAfterPurge of the bridge's port, before the bridge
    // writes: from then on the reply to a poll goes only once the bridge has
    // purged after writing that poll, so no reply is lost to the purge however
    // long either side is held up (each waits at most two seconds).
    std::function<void(std::span<const std::uint8_t>)> afterPurgeHook();
    // Where download handhelds write the tables they reassembled.
    void setTablesFolder(std::filesystem::path folder) { tablesFolder_ = std::move(folder); }
    // Called for every poll and frame on the simulator's thread (logging).
    void setObserver(std::function<void(std::string_view)> observer) {
        observer_ = std::move(observer);
    }

    void start();
    void stop();

    std::vector<Poll> polls() const;
    std::vector<Bytes> framesReceived() const;
    // Answer frames from the bridge whose lengths or checksum did not hold.
    std::size_t badAnswers() const;
    std::size_t pollCount() const;
    // Download conversations that have begun, and the tables written so far.
    int downloadsStarted() const;
    std::vector<std::filesystem::path> tablesWritten() const;
    // Waits until the condition on the poll list holds or the time-out passes.
    bool waitFor(const std::function<bool(const std::vector<Poll>&)>& condition,
                 std::chrono::milliseconds timeout) const;

  private:
    void run();
    void consume();
    void answer(const std::array<std::uint8_t, 7>& poll);
    void send(const Bytes& bytes);
    void sendAll(const std::vector<Bytes>& frames);
    void startDownload(std::size_t script, const std::array<std::uint8_t, 7>& poll);
    void feedDownload();
    void endDownload();
    void writeReceivedTables();

    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the line up while no bridge has it open
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::vector<HandheldScript> scripts_;
    std::vector<DownloadScript> downloadScripts_;
    std::vector<std::size_t> nextFrame_;
    std::vector<int> pollsSeen_;
    std::chrono::microseconds replyDelay_{2000};
    std::function<void(std::string_view)> observer_;
    Bytes pending_;
    std::filesystem::path tablesFolder_;
    std::vector<int> downloadsAsked_;
    // A manual handheld that got its tables asks again only after the
    // operator has stopped the download (a normal poll).
    std::vector<bool> manualServed_;
    std::unique_ptr<handheld::HandheldConversation> active_;
    std::size_t activeScript_ = 0;
    std::vector<int> activeWritten_;
    Clock::time_point lastTraffic_{};

    void waitForRelease(std::size_t poll);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool holdReplies_ = false;
    std::size_t released_ = 0;  // replies to polls 1..released_ may go
    std::vector<Poll> polls_;
    std::vector<Bytes> frames_;
    std::size_t badAnswers_ = 0;
    int downloadsStarted_ = 0;
    std::vector<std::filesystem::path> tablesWritten_;
    std::thread thread_;
};

}  // namespace basestation
