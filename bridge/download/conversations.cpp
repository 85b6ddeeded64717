// Manual and update download conversations.
#include "download/conversations.h"

#include "download/download_texts.h"
#include "link/result_codes.h"
#include "link/stop_pause.h"

#include <array>
#include <cstdio>
#include <string>

namespace padlink {
namespace {

constexpr std::uint8_t kReady = 4;
constexpr std::uint8_t kAcknowledge = 7;
constexpr std::uint8_t kSendCurrent = 9;
constexpr std::uint8_t kRepeat = 0xFF;
constexpr std::uint8_t kManualRequest = 0x81;

std::string displayLine(std::string_view prefix, std::span<const std::uint8_t> frame) {
    std::string line(prefix);
    char hex[4];
    for (std::size_t i = 0; i < kHeaderSize && i < frame.size(); ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", frame[i]);
        line += hex;
    }
    return line + "\r\n";
}

std::string progressText(int table, int packet) {
    std::string text(gbk::kProgressFormat);
    for (int value : {table, packet}) {
        const std::size_t at = text.find("%d");
        text.replace(at, 2, std::to_string(value));
    }
    return text;
}

// One conversation's access to the line, the display and the packets.
class Conversation {
public:
  Conversation(DownloadLine port, DownloadBuffer buffer, LinkSession& session, int stationIndex,
               const DownloadContext& context)
      : port_(port),
        buffer_(buffer),
        session_(session),
        context_(context),
        stationIndex_(stationIndex) {}

  // The flags are read afresh for every line: "停止显示" pressed during a
  // download takes effect at the next one.
  bool shown() const {
      if (stationIndex_ < 0 || static_cast<std::size_t>(stationIndex_) >= kMaxStations) {
          return false;
      }
      const auto station = static_cast<std::size_t>(stationIndex_);
      return context_.flags.stationSelected[station].load() != 0 &&
             context_.flags.stationDisplay[station].load() != 0;
  }

    void display(std::string_view prefix, std::span<const std::uint8_t> frame) {
        if (shown()) {
            context_.host.postDisplayLine(displayLine(prefix, frame));
        }
    }

    void write(std::size_t length) {
        if (length > 0) {
            port_.write(std::span<const std::uint8_t>(buffer_.data(), length));
        }
    }

    // The bridge is ending: every conversation gives up the line at once.
    bool stopping() const { return context_.flags.stopRequested.load() != 0; }
    void pause(int ms) const { pauseUnlessStopped(ms, context_.flags.stopRequested); }

    void sendPacket(int table, int k) { write(packTable(buffer_, session_, table, k)); }
    void sendEndOfTable(std::uint8_t table) { write(endOfTableFrame(buffer_, table)); }

    // A status frame, or nothing. A status naming a table this download did
    // not load counts as nothing: an empty table sent in its place would
    // wipe the handheld's copy. The update download has a rule of its own
    // for a status that repeats the request's command byte.
    bool readStatus(int& rc, bool requestByteAllowed = false) {
        status_.fill(0);
        std::uint32_t length = 0;
        rc = port_.readStatus(status_, length);
        display("RX: ", status_);
        if (rc != kSuccess || length != kStatusFrameBytes) {
            return false;
        }
        return (requestByteAllowed && status_[7] == kManualRequest) ||
               session_.recordCount(status_[7]) > 0;
    }

    const std::array<std::uint8_t, kStatusReadBytes>& status() const { return status_; }
    void clearStatus() { status_.fill(0); }
    void notify(const Notice& notice) { context_.host.showMessage(notice); }

private:
    static constexpr std::uint32_t kStatusFrameBytes = 12;

    DownloadLine port_;
    DownloadBuffer buffer_;
    LinkSession& session_;
    const DownloadContext& context_;
    const int stationIndex_;
    std::array<std::uint8_t, kStatusReadBytes> status_{};
};

}  // namespace

void postDownloadProgress(DownloadHost& host, std::string_view label, std::string_view text) {
    std::string record(label);
    record += ',';
    record += text;
    host.postDownloadProgress(record);
}

std::optional<std::pair<std::string_view, std::string_view>> splitDownloadProgress(
    std::string_view record) {
    const std::size_t comma = record.find(',');
    if (comma == std::string_view::npos || comma < 2) {
        return std::nullopt;
    }
    return std::pair{record.substr(0, comma), record.substr(comma + 1)};
}

int manualDownload(DownloadLine port, DownloadBuffer buffer, LinkSession& session,
                   int stationIndex, std::string_view label, const DownloadContext& context) {
    const DownloadFlags& flags = context.flags;
    Conversation line(port, buffer, session, stationIndex, context);
    session.clearDataArea();
    const int total = flags.choice.count.load();
    buffer[0] = 1;

    const TableListBuild list =
        buildTableList(buffer, session, session.folder(), flags.choice, context.clock());
    for (const Notice& notice : list.notices) {
        line.notify(notice);
    }
    line.write(list.length);
    if (list.length > kHeaderSize) {
        line.display("TX: ", std::span(buffer.data(), list.length));
        line.pause(100);
    }

    auto fail = [&] {
        postDownloadProgress(context.host, label, gbk::kDownloadFailed);
        return kManualFailed;
    };
    int table = 0;   // tables done
    int packet = 0;  // packet index in the current table
    int reads = 0;
    int idle = 0;
    int idleLimit = 0;
    int rc = 0;
    // The stop flag ends the conversation as the mode does: a bridge that is
    // closing must not wait out a handheld.
    while (flags.downloadMode.load() != 0 && flags.stopRequested.load() == 0) {
        const bool got = line.readStatus(rc);
        ++reads;
        if (reads == 1) {
            idleLimit = 5;
        } else if (idle == 0) {
            idleLimit = 20;
        }
        ++idle;
        if (!got) {
            line.pause(50);
            if (idle > idleLimit) {
                return fail();
            }
            continue;
        }
        const auto& status = line.status();
        const std::uint8_t type = status[3];
        const int asked = status[1];
        const int named = status[7];
        bool closing = false;
        if (type == kAcknowledge) {
            idle = 0;
            if (asked == kRepeat) {
                line.sendPacket(named, packet);
            } else if (session.packetCount == 1 && asked == 0) {
                packet = 0;
                line.sendPacket(named, 0);
            } else if (asked == session.packetCount - 1) {
                line.sendPacket(named, asked);
                packet = 0;
            } else {
                packet = asked + 1;
                line.sendPacket(named, packet);
            }
        } else if (type == kReady) {
            idle = 0;
            postDownloadProgress(context.host, label, progressText(table + 1, packet + 1));
            if (packet < session.packetCount - 1) {
                ++packet;
                line.sendPacket(named, packet);
            } else if (packet != session.packetCount - 1) {
                line.notify({std::string(gbk::kPacketIndexError), {}});
                return fail();
            } else if (table < total - 1) {
                ++table;
                packet = 0;
                line.sendEndOfTable(static_cast<std::uint8_t>(named));
            } else {
                line.sendEndOfTable(static_cast<std::uint8_t>(named));
                closing = true;
            }
        } else if (type == kSendCurrent) {
            idle = 0;
            line.sendPacket(named, packet);
        } else {
            if (idle > idleLimit) {
                return fail();
            }
            continue;
        }

        // After the last table's end the handheld may still ask for a packet;
        // anything else, silence included, means it has everything.
        while (closing && !line.stopping()) {
            line.pause(50);
            if (!line.readStatus(rc)) {
                break;
            }
            const auto& after = line.status();
            if (after[3] == kAcknowledge) {
                line.sendPacket(after[7], after[1] + 1);
            } else if (after[3] == kSendCurrent) {
                packet = 0;
                line.sendPacket(after[7], packet);
                closing = false;
            } else {
                break;
            }
        }
        if (closing) {
            session.packetCount = 0;
            postDownloadProgress(context.host, label, gbk::kDownloadDone);
            return kManualDone;
        }
        line.pause(50);
        if (table >= total) {
            return fail();
        }
    }
    return fail();
}

int versionDownload(DownloadLine port, DownloadBuffer buffer, LinkSession& session,
                    int stationIndex, std::string_view /*label*/,
                    const DownloadContext& context) {
    Conversation line(port, buffer, session, stationIndex, context);
    session.clearDataArea();
    buffer[0] = 1;
    // Counters left by an earlier conversation (a finished manual download
    // leaves packetCount 0, an abandoned update its cursor) would end the
    // first table before a single packet went out.
    session.packetCursor = 0;
    session.packetCount = 1;

    const UpdateListBuild list =
        buildUpdateList(buffer, session, session.folder(), context.flags.choice);
    for (const Notice& notice : list.notices) {
        line.notify(notice);
    }
    if (list.length <= kHeaderSize) {
        line.write(noUpdateFrame(buffer));
        return kNothingToUpdate;
    }

    const int tables = list.tablesToSend;
    int done = 0;       // tables ended
    int next = 0;       // next packet index
    int failures = 0;   // unsuccessful reads in a row
    int rc = kNothingReceived;
    std::size_t length = list.length;
    bool afterEnd = false;
    // Only the stop flag ends a handheld that asks for the same packet for
    // ever; the bridge must not outlive "TC" for it.
    while (!line.stopping()) {
        line.write(length);
        line.display("TX: ", std::span(buffer.data(), length));
        if (done == tables) {
            // The last end-of-table frame goes out twice: the handheld may miss one.
            line.pause(90);
            line.write(length);
            return rc;
        }
        line.pause(700);

        bool advance = false;
        while (!line.stopping()) {
            if (!line.readStatus(rc, true)) {
                ++failures;
                line.pause(300);
                if (failures > 4) {
                    return rc;
                }
                continue;
            }
            const auto& status = line.status();
            const int sent = buffer[1];
            if (status[3] != kAcknowledge) {
                failures = 0;
                advance = true;
                break;
            }
            if (status[7] == kManualRequest) {
                if (++failures > 4) {
                    return rc;
                }
                continue;
            }
            if (status[1] == sent - 1 || afterEnd) {
                failures = 0;
                line.pause(100);
                break;
            }
            if (status[1] == sent) {
                line.pause(100);
                failures = 0;
                advance = true;
                break;
            }
            if (status[1] == kRepeat) {
                // Never below the first packet: a repeat asked for before any
                // packet went out gets packet 0.
                session.packetCursor = std::max(session.packetCursor - 1, 0);
                next = std::max(next - 1, 0);
                failures = 0;
                advance = true;
                break;
            }
            line.clearStatus();
            line.pause(300);
            if (++failures > 4) {
                return rc;
            }
        }

        if (advance) {
            ++session.packetCursor;
            const auto table = line.status()[7];
            if (session.packetCursor == session.packetCount + 1) {
                length = endOfTableFrame(buffer, table);
                next = 0;
                session.packetCursor = 0;
                ++done;
                afterEnd = true;
            } else {
                length = packTable(buffer, session, table, next);
                ++next;
                afterEnd = false;
            }
            line.clearStatus();
        }
        if (done > tables) {
            return rc;
        }
    }
    return rc;
}

}  // namespace padlink
