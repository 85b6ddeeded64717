// A handheld at the far end of a base station, for tests, the base-station
// simulator and the download bench: it asks for a manual or an update
// download, answers the bridge's frames with status frames as a handheld
// does, and reassembles the tables it receives so they can be compared with
// the files. It misbehaves only when its script says so (a repeat request, a
// lost status, silence). HandheldConversation is the protocol alone, bytes in
// and frames out, with no thread and no clock; PtyHandheld runs one on a
// pseudo-terminal. Neither must ever answer a poll for another address.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace handheld {

using Bytes = std::vector<std::uint8_t>;
using VersionRow = std::array<std::uint8_t, 7>;

enum class Wants {
    manual,  // answers download polls with 0x81
    update,  // answers any poll with 0x82 and its version rows
};

struct PeerScript {
    std::array<std::uint8_t, 3> address{0x21, 0x43, 0x65};  // low, middle, high
    Wants wants = Wants::manual;
    std::vector<VersionRow> versionRows;
    // Asks once for a repeat (type 7, index 0xFF) after receiving this
    // packet index of the first table, instead of moving on.
    int repeatPacket = -1;
    // From this packet index of any table on, asks for every packet again
    // (type 7, index 0xFF), for ever: a handheld stuck on one packet.
    int repeatForeverFrom = -1;
    // Loses the status that answers this bridge frame (counted from 0) once;
    // the handheld sends it again when the line stays quiet (resendAfter).
    int dropStatusAt = -1;
    // Acknowledges the first packet once with this index instead (a stray
    // acknowledgement, as a confused handheld sends).
    int strayAcknowledge = -1;
    // Stops answering after this many bridge frames.
    int silentAfter = -1;
    // After the last table's end, answer with a ready frame instead of silence.
    bool answerLastEnd = false;
};

struct ReceivedTable {
    int number = 0;
    int declaredPackets = 0;        // byte 4
    std::uint32_t declaredSize = 0;  // bytes 12-14
    std::map<int, Bytes> packets;   // records of each packet index
    int packetsReceived = 0;        // repeats included
    bool ended = false;

    // All packets 0..declared-1 present, the size matching, the end seen.
    bool complete() const;
    // The records in index order.
    Bytes records() const;
};

class HandheldConversation {
public:
    explicit HandheldConversation(PeerScript script);

    // The request this handheld sends in reply to a poll.
    Bytes request() const;

    // Bytes from the bridge in any chunks; the frames to send back, in order.
    std::vector<Bytes> receive(std::span<const std::uint8_t> bytes);
    // The line has been quiet for a while: a lost status goes again.
    std::vector<Bytes> quiet();

    const std::vector<ReceivedTable>& tables() const { return tables_; }
    const std::vector<Bytes>& framesReceived() const { return frames_; }
    const std::vector<int>& listedTables() const { return listed_; }
    bool noUpdate() const { return noUpdate_; }
    // Every listed table ended (or nothing to update).
    bool finished() const { return finished_; }
    int badFrames() const { return badFrames_; }

private:
    std::vector<Bytes> handleFrame(const Bytes& frame);
    std::vector<Bytes> handlePoll(std::span<const std::uint8_t> poll);
    std::vector<Bytes> answer(Bytes status);
    ReceivedTable& table(int number);
    std::vector<Bytes> startTable(std::size_t position);

    PeerScript script_;
    Bytes pending_;
    std::vector<Bytes> frames_;
    std::vector<ReceivedTable> tables_;
    std::vector<int> listed_;
    std::size_t current_ = 0;  // position in listed_
    bool requested_ = false;
    bool noUpdate_ = false;
    bool finished_ = false;
    bool repeated_ = false;
    bool dropped_ = false;
    bool strayed_ = false;
    int badFrames_ = 0;
    std::optional<Bytes> lost_;
};

// A 12-byte status frame: 00 index any type 01 00 0C table 00 00 00 0C.
Bytes statusFrame(std::uint8_t type, std::uint8_t index, std::uint8_t table);

// The master side of a new pseudo-terminal, with its slave side held open in
// raw mode from the start (an echoing line would hand the peer its own frames,
// and a closed one drops the line while no bridge has it open).
struct RawPty {
    int master = -1;       // -1 when no pseudo-terminal could be made
    int slaveKeeper = -1;
    std::string slavePath;
};
RawPty openRawPty();

// A handheld on the master side of a pseudo-terminal; the bridge opens
// slavePath() as its serial port.
class PtyHandheld {
public:
    explicit PtyHandheld(PeerScript script);
    ~PtyHandheld();
    PtyHandheld(const PtyHandheld&) = delete;
    PtyHandheld& operator=(const PtyHandheld&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // Before start(): time from a frame's last byte to the answer (models
    // the handheld's own line time), and the quiet time before a lost status
    // goes again.
    void setReplyDelay(std::chrono::microseconds delay) { replyDelay_ = delay; }
    void setResendAfter(std::chrono::milliseconds quiet) { resendAfter_ = quiet; }
    // Called on the peer's thread after each bridge frame (its number from 0).
    void setFrameObserver(std::function<void(std::size_t, const Bytes&)> observer) {
        observer_ = std::move(observer);
    }

    void start();
    void stop();

    // Snapshots, safe while the peer runs.
    std::vector<ReceivedTable> tables() const;
    std::vector<Bytes> framesReceived() const;
    bool finished() const;
    bool noUpdate() const;
    int badFrames() const;
    std::chrono::steady_clock::time_point lastFrameAt() const;

private:
    void run();
    void send(const std::vector<Bytes>& frames);

    HandheldConversation conversation_;
    int master_ = -1;
    int slaveKeeper_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::chrono::microseconds replyDelay_{2000};
    std::chrono::milliseconds resendAfter_{400};
    std::function<void(std::size_t, const Bytes&)> observer_;
    std::chrono::steady_clock::time_point lastFrameAt_{};
    mutable std::mutex mutex_;
    std::thread thread_;
};

}  // namespace handheld
