// Whole download conversations on a pseudo-terminal: the bridge's real
// serial port on one side, the handheld peer on the other, real table files
// in a private folder. Every table the handheld reassembles must equal what
// its file holds.
#include "download/conversations.h"

#include "config/hang_guard.h"
#include "config/test_folder.h"
#include "config/text_file.h"
#include "download/download_texts.h"
#include "download/handheld_peer.h"
#include "link/result_codes.h"
#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace padlink {
namespace {

using handheld::Bytes;
using handheld::PeerScript;
using handheld::PtyHandheld;
using handheld::ReceivedTable;
using handheld::Wants;

constexpr std::string_view kLabel = "654321";

class RecordingHost final : public DownloadHost {
public:
    void postDownloadProgress(std::string_view record) override {
        std::lock_guard lock(mutex_);
        progress_.emplace_back(record);
    }
    void showMessage(const Notice& notice) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(notice);
    }
    void postDisplayLine(std::string_view text) override {
        std::lock_guard lock(mutex_);
        display_.emplace_back(text);
    }
    std::vector<std::string> progress() const {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    std::vector<Notice> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> display() const {
        std::lock_guard lock(mutex_);
        return display_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> progress_;
    std::vector<Notice> messages_;
    std::vector<std::string> display_;
};

std::string progress(std::string_view text) { return std::string(kLabel) + "," + std::string(text); }

// Dishes with values a decoder can check field by field.
std::string dishLines(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) {
        text += std::to_string(i) + "," + std::to_string(i % 9) + ",3,D" + std::to_string(i) +
                ",Dish " + std::to_string(i) + "," + std::to_string(100 + i) + ",1\n";
    }
    return text;
}

std::uint16_t le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string textAt(const Bytes& b, std::size_t at, std::size_t slot) {
    std::string s;
    for (std::size_t i = at; i < at + slot && b[i] != 0; ++i) {
        s += static_cast<char>(b[i]);
    }
    return s;
}

class ConversationTest : public ::testing::Test {
protected:
    void writeTable(int table, std::string_view text) {
        ASSERT_TRUE(writeTextFile(folder.path() / tableFile(table)->fileName, text));
    }
    void choose(std::initializer_list<int> chosen) {
        bool boxes[kTableCount] = {};
        for (int t : chosen) {
            boxes[t - 1] = true;
        }
        takeChoice(flags.choice, std::span<const bool, kTableCount>(boxes));
    }

    // The peer's request as the poll thread receives it: a poll, then the reply read.
    void startPeer(const PeerScript& script) {
        peer = std::make_unique<PtyHandheld>(script);
        ASSERT_TRUE(peer->ok());
        peer->setResendAfter(std::chrono::milliseconds(300));
        // Answering sooner would race the purge that follows the bridge's
        // write; a real handheld's answer takes its own line time anyway.
        peer->setReplyDelay(std::chrono::milliseconds(10));
        if (observer) {
            peer->setFrameObserver(observer);
        }
        peer->start();
        // A read time-out of 2 ms per byte keeps a status read that finds
        // nothing at 205 ms.
        ASSERT_EQ(port.open(peer->slavePath(), 2, 0), kSuccess);
        const PollKind kind = script.wants == Wants::manual ? PollKind::download : PollKind::normal;
        ASSERT_EQ(port.write(pollFrame(script.address[0], script.address[1], script.address[2], kind)),
                  kSuccess);
        std::uint32_t length = 0;
        for (int attempt = 0; attempt < 200 && length == 0; ++attempt) {
            buffer.fill(0);
            port.readReply(buffer, length);
        }
        ASSERT_GE(length, 12u);
        ASSERT_EQ(buffer[7], script.wants == Wants::manual ? 0x81 : 0x82);
    }

    // Record by record against the file: the dish table field by field from
    // the lines written, any other table against a fresh load of its file.
    void expectAsInFile(int table, const ReceivedTable& got, int dishes = 0) {
        SCOPED_TRACE("table " + std::to_string(table));
        ASSERT_TRUE(got.complete());
        const Bytes records = got.records();
        const std::size_t size = tableLayout(table).recordBytes;
        if (table == 1) {
            ASSERT_EQ(records.size(), static_cast<std::size_t>(dishes) * size);
            for (int i = 1; i <= dishes; ++i) {
                const Bytes r(records.begin() + static_cast<long>((i - 1) * size),
                              records.begin() + static_cast<long>(i * size));
                ASSERT_EQ(le16(r, 0), i);
                ASSERT_EQ(le16(r, 2), i % 9);
                ASSERT_EQ(le16(r, 4), 3);
                ASSERT_EQ(textAt(r, 6, 14), "D" + std::to_string(i));
                ASSERT_EQ(textAt(r, 20, 26), "Dish" + std::to_string(i));
                ASSERT_EQ(le16(r, 46), 100 + i);
                ASSERT_EQ(le16(r, 48), 1);
            }
            return;
        }
        LinkSession fresh(folder.path(), 9);
        TableChoice none{};
        std::atomic<int> zero{0};
        ASSERT_EQ(loadTable(fresh, table, folder.path(), {none, zero}).code, kTableLoaded);
        const auto expected = fresh.records(table);
        EXPECT_EQ(records, Bytes(expected.begin(), expected.end()));
    }

    const ReceivedTable* received(int table) const {
        for (const auto& t : tables) {
            if (t.number == table) {
                return &t;
            }
        }
        return nullptr;
    }

    void finish() {
        peer->stop();
        tables = peer->tables();
        frames = peer->framesReceived();
    }

    PADLINK_TEST_GUARD(120);
    testing::TestFolder folder;
    RecordingHost host;
    TableChoice chosenTables{};
    std::atomic<int> chosenCount{0};
    std::atomic<int> stop{0};
    std::atomic<int> mode{1};
    StationFlags selected{};
    StationFlags shown{};
    DownloadFlags flags{stop, mode, selected, shown, {chosenTables, chosenCount}};
    DownloadContext context{flags, host, [] { return LocalTime{2025, 3, 4, 5, 6, 7}; }};
    LinkSession session{folder.path(), 1};
    SerialPort port;
    std::array<std::uint8_t, kMaxFrameSize> buffer{};
    std::function<void(std::size_t, const Bytes&)> observer;
    std::unique_ptr<PtyHandheld> peer;
    std::vector<ReceivedTable> tables;
    std::vector<Bytes> frames;
};

struct ManualCase {
    const char* name;
    std::vector<int> tables;
    PeerScript script;
    int packetsOfDishes;  // as the handheld received them, repeats included
};

PeerScript manual(int repeat = -1, int drop = -1, bool answerEnd = false) {
    PeerScript s;
    s.wants = Wants::manual;
    s.repeatPacket = repeat;
    s.dropStatusAt = drop;
    s.answerLastEnd = answerEnd;
    return s;
}

void PrintTo(const ManualCase& c, std::ostream* out) { *out << c.name; }

class ManualDownload : public ConversationTest,
                       public ::testing::WithParamInterface<ManualCase> {};

TEST_P(ManualDownload, HandheldGetsEveryChosenTable) {
    const ManualCase& c = GetParam();
    writeTable(1, dishLines(200));
    writeTable(12, "1,F1\n2,F 2\n3,Roof\n");
    bool boxes[kTableCount] = {};
    for (int t : c.tables) {
        boxes[t - 1] = true;
    }
    takeChoice(flags.choice, std::span<const bool, kTableCount>(boxes));
    selected[0] = 1;
    shown[0] = 1;
    startPeer(c.script);

    EXPECT_EQ(manualDownload(port, buffer, session, 0, kLabel, context), kManualDone);
    finish();

    for (int t : c.tables) {
        ASSERT_NE(received(t), nullptr);
        expectAsInFile(t, *received(t), 200);
    }
    EXPECT_EQ(received(1)->packetsReceived, c.packetsOfDishes);
    EXPECT_EQ(received(1)->declaredPackets, 3);
    const auto lines = host.progress();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), progress(gbk::kDownloadDone));
    EXPECT_EQ(lines.front(), progress("\xcf\xc2\xd4\xd8\xb1\xed 1... \xd5\xfd\xd4\xda\xcf\xc2\xd4\xd8" "1\xb0\xfc"));
    // The list opens the conversation, on the monitor page too; an end closes it.
    ASSERT_GE(frames.size(), 5u);
    EXPECT_EQ(frames.front()[7], 0x81);
    EXPECT_EQ(frames.front().size(), 12 + 7 * c.tables.size());
    EXPECT_EQ(frames.front()[13], 9);  // 2025 & 0x0F
    // Tables go in number order, whatever order the boxes were ticked in.
    const auto last = static_cast<std::uint8_t>(*std::max_element(c.tables.begin(), c.tables.end()));
    EXPECT_EQ(frames.back(), (Bytes{1, 0, 0x21, 6, 1, 0, 12, last, 0, 0, 0, 12}));
    EXPECT_EQ(host.display().front().substr(0, 19), "TX: 01 00 21 08 01 ");
    EXPECT_TRUE(host.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualDownload,
    ::testing::Values(ManualCase{"one_table_of_three_packets", {1}, manual(), 3},
                      ManualCase{"two_tables", {1, 12}, manual(), 3},
                      ManualCase{"repeat_request", {1}, manual(1), 4},
                      ManualCase{"lost_status_sent_again", {1, 12}, manual(-1, 2), 3},
                      ManualCase{"handheld_answers_the_last_end", {12, 1}, manual(-1, -1, true), 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConversationTest, MissingTableFileFailsTheManualDownload) {
    writeTable(1, dishLines(5));
    choose({1, 4});
    startPeer(manual());

    EXPECT_EQ(manualDownload(port, buffer, session, 0, kLabel, context), kManualFailed);
    finish();
    EXPECT_TRUE(frames.empty());
    ASSERT_EQ(host.messages().size(), 1u);
    EXPECT_EQ(host.messages()[0].text, std::string(tableFile(4)->missingMessage));
    EXPECT_EQ(chosenTables[3].load(), 0);
    EXPECT_EQ(chosenCount.load(), 1);
    EXPECT_EQ(host.progress(), std::vector<std::string>{progress(gbk::kDownloadFailed)});
}

TEST_F(ConversationTest, OperatorStopsAManualDownload) {
    writeTable(1, dishLines(200));
    choose({1});
    // "停止下载" is pressed while the first packet is on its way.
    observer = [this](std::size_t frame, const Bytes&) {
        if (frame == 1) {
            mode = 0;
        }
    };
    startPeer(manual());

    EXPECT_EQ(manualDownload(port, buffer, session, 0, kLabel, context), kManualFailed);
    finish();
    ASSERT_NE(received(1), nullptr);
    EXPECT_FALSE(received(1)->complete());
    EXPECT_EQ(host.progress().back(), progress(gbk::kDownloadFailed));
}

TEST_F(ConversationTest, ReadyPastTheLastPacketFailsTheManualDownload) {
    writeTable(1, dishLines(200));
    choose({1});
    PeerScript script = manual();
    script.strayAcknowledge = 9;  // moves the bridge to packet 10 of 3
    startPeer(script);

    EXPECT_EQ(manualDownload(port, buffer, session, 0, kLabel, context), kManualFailed);
    finish();
    ASSERT_EQ(host.messages().size(), 1u);
    EXPECT_EQ(host.messages()[0].text, std::string(gbk::kPacketIndexError));
    EXPECT_EQ(host.progress().back(), progress(gbk::kDownloadFailed));
    // The packet asked for past the table's end carries no records.
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2][1], 10);
    EXPECT_EQ(frames[2].size(), 15u);
    EXPECT_EQ(Bytes(frames[2].begin() + 12, frames[2].end()), (Bytes{0x00, 0x27, 0x10}));
}

struct UpdateCase {
    const char* name;
    std::string versionFile;
    std::vector<handheld::VersionRow> handheldRows;
    int repeatPacket;
    std::vector<int> tables;  // expected in the handheld afterwards
    int packetsOfDishes;
};

void PrintTo(const UpdateCase& c, std::ostream* out) { *out << c.name; }

class UpdateDownload : public ConversationTest,
                       public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateDownload, HandheldGetsTheTablesThatDiffer) {
    const UpdateCase& c = GetParam();
    writeTable(1, dishLines(200));
    writeTable(12, "1,F1\n2,F2\n");
    ASSERT_TRUE(writeTextFile(folder.path() / "数据库版本.txt", c.versionFile));
    PeerScript script;
    script.wants = Wants::update;
    script.versionRows = c.handheldRows;
    script.repeatPacket = c.repeatPacket;
    startPeer(script);
    const Bytes request(buffer.begin(), buffer.begin() + 12);
    // What an earlier manual download and an abandoned update leave behind.
    session.packetCount = 0;
    session.packetCursor = 2;

    const int rc = versionDownload(port, buffer, session, 0, kLabel, context);
    finish();
    if (c.tables.empty()) {
        EXPECT_EQ(rc, kNothingToUpdate);
        Bytes expected = request;
        expected[0] = 0;
        expected[3] = 8;
        expected[4] = 1;
        EXPECT_EQ(frames, std::vector<Bytes>{expected});
        EXPECT_TRUE(tables.empty());
        return;
    }
    EXPECT_EQ(rc, kSuccess);
    for (int t : c.tables) {
        ASSERT_NE(received(t), nullptr);
        expectAsInFile(t, *received(t), 200);
    }
    EXPECT_EQ(tables.size(), c.tables.size());
    if (received(1) != nullptr) {
        EXPECT_EQ(received(1)->packetsReceived, c.packetsOfDishes);
    }
    // The last end-of-table frame goes out twice.
    ASSERT_GE(frames.size(), 2u);
    const Bytes end{1, 0, 0x21, 6, 1, 0, 12, static_cast<std::uint8_t>(c.tables.back()), 0, 0, 0, 12};
    EXPECT_EQ(frames[frames.size() - 1], end);
    EXPECT_EQ(frames[frames.size() - 2], end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateDownload,
    ::testing::Values(
        UpdateCase{"nothing_differs", "1,0,0,0,0,0,5\n12,0,0,0,0,0,2\n",
                   {{1, 0, 0, 0, 0, 0, 5}, {12, 0, 0, 0, 0, 0, 2}}, -1, {}, 0},
        UpdateCase{"two_tables_differ", "1,0,0,0,0,0,6\n12,0,0,0,0,0,3\n",
                   {{1, 0, 0, 0, 0, 0, 5}, {0xFF, 0, 0, 0, 0, 0, 2}}, -1, {1, 12}, 3},
        UpdateCase{"repeat_request", "1,0,0,0,0,0,6\n", {{1, 0, 0, 0, 0, 0, 5}}, 1, {1}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConversationTest, SilentHandheldEndsTheUpdateDownload) {
    writeTable(12, "1,F1\n");
    ASSERT_TRUE(writeTextFile(folder.path() / "数据库版本.txt", "12,0,0,0,0,0,3\n"));
    PeerScript script;
    script.wants = Wants::update;
    script.versionRows = {{12, 0, 0, 0, 0, 0, 2}};
    script.silentAfter = 1;  // asks for the table, then says nothing more
    startPeer(script);

    EXPECT_EQ(versionDownload(port, buffer, session, 0, kLabel, context), kNothingReceived);
    finish();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1][3], 8);
    EXPECT_EQ(frames[1][7], 12);
}

// "TC" sets the stop flag while a handheld asks for the same packet again
// and again: both conversations give up the line. Should one not, the peer
// falls silent after the bound, which ends it by its own rules, so the test
// fails instead of hanging.
TEST_F(ConversationTest, StopEndsAConversationWithAHandheldStuckOnOnePacket) {
    writeTable(1, dishLines(200));
    ASSERT_TRUE(writeTextFile(folder.path() / "数据库版本.txt", "1,0,0,0,0,0,6\n"));
    choose({1});
    for (const Wants wants : {Wants::update, Wants::manual}) {
        SCOPED_TRACE(wants == Wants::update ? "update" : "manual");
        stop = 0;
        PeerScript script = wants == Wants::manual ? manual() : PeerScript{};
        script.wants = wants;
        script.versionRows = {{1, 0, 0, 0, 0, 0, 5}};
        script.repeatForeverFrom = 1;
        observer = [this](std::size_t frame, const Bytes&) {
            if (frame == 6) {
                stop = 1;
            }
        };
        startPeer(script);
        buffer[7] = wants == Wants::manual ? 0x81 : 0x82;
        auto conversation = std::async(std::launch::async, [&] {
            return wants == Wants::manual
                       ? manualDownload(port, buffer, session, 0, kLabel, context)
                       : versionDownload(port, buffer, session, 0, kLabel, context);
        });
        const bool ended =
            conversation.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        finish();  // a silent peer ends a conversation that is still going
        EXPECT_TRUE(ended) << "the conversation went on after the stop flag";
        conversation.get();
        EXPECT_GE(frames.size(), 7u);
        port.close();
    }
}

// "停止显示" pressed during a download takes effect at the next line.
TEST_F(ConversationTest, DisplaySwitchIsReadAtEveryLine) {
    writeTable(1, dishLines(200));
    choose({1});
    selected[0] = 1;
    shown[0] = 1;
    std::size_t linesAtSwitch = 0;
    observer = [this, &linesAtSwitch](std::size_t frame, const Bytes&) {
        if (frame == 1) {  // packet 0 has arrived
            linesAtSwitch = host.display().size();
            shown[0] = 0;
        }
    };
    startPeer(manual());
    EXPECT_EQ(manualDownload(port, buffer, session, 0, kLabel, context), kManualDone);
    finish();
    ASSERT_GE(linesAtSwitch, 2u);  // the list and the handheld's first status were shown
    EXPECT_EQ(host.display().size(), linesAtSwitch);
}

TEST(DownloadProgress, PageSplitsAtTheFirstComma) {
    EXPECT_EQ(splitDownloadProgress("654321,a,b"),
              (std::pair<std::string_view, std::string_view>{"654321", "a,b"}));
    EXPECT_EQ(splitDownloadProgress("ab,"), (std::pair<std::string_view, std::string_view>{"ab", ""}));
    EXPECT_FALSE(splitDownloadProgress("a,b"));
    EXPECT_FALSE(splitDownloadProgress("654321"));
}

}  // namespace
}  // namespace padlink
