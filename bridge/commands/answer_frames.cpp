// Answer builders.
#include "commands/answer_frames.h"

#include "commands/answer_text.h"

namespace padlink {

namespace {

constexpr std::uint8_t kAnswerType = 8;
constexpr std::size_t kTableStatusLength = 25;
constexpr std::size_t kWithItemsHeadLength = 28;
constexpr std::size_t kLoginHeadLength = 45;
constexpr std::size_t kSevenByteLength = 19;
constexpr std::size_t kRadioTestEchoLength = 29;
constexpr std::uint8_t kRadioTestByte = 0x5A;

enum class Index { keep, zero };
enum class Aux { one, keep };

void put8(AnswerBuffer frame, std::size_t at, std::int64_t value) {
    frame[at] = static_cast<std::uint8_t>(value);
}

void put16(AnswerBuffer frame, std::size_t at, std::int64_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    frame[at] = static_cast<std::uint8_t>(v & 0xFF);
    frame[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// The first seven fields of a table status, the same in both status answers.
void putStatusHead(AnswerBuffer frame, const std::int64_t* f) {
    put16(frame, 12, f[0]);
    put16(frame, 14, f[1]);
    put16(frame, 16, f[2]);
    for (std::size_t k = 3; k < 7; ++k) {
        put8(frame, 15 + k, f[k]);
    }
}

void put16HighFirst(AnswerBuffer frame, std::size_t at, std::int64_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    frame[at] = static_cast<std::uint8_t>(v >> 8);
    frame[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

// Amounts travel as their low 24 bits and a zero byte.
void putAmount(AnswerBuffer frame, std::size_t at, std::int64_t hundredths) {
    const auto v = static_cast<std::uint32_t>(hundredths) & 0xFFFFFFu;
    frame[at] = static_cast<std::uint8_t>(v & 0xFF);
    frame[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    frame[at + 2] = static_cast<std::uint8_t>(v >> 16);
    frame[at + 3] = 0;
}

// Bytes 2 and 7 (address and command) stay as the handheld sent them.
std::size_t finish(AnswerBuffer frame, std::int64_t code, Index index, Aux aux,
                   std::size_t length) {
    put8(frame, 0, code);
    if (index == Index::zero) {
        frame[1] = 0;
    }
    frame[3] = kAnswerType;
    if (aux == Aux::one) {
        frame[4] = 1;
    }
    sealFrame(frame, length);
    return length;
}

std::size_t countFollowsCodeAnswer(AnswerBuffer frame, std::int64_t number) {
    put16HighFirst(frame, kHeaderSize, number);
    return finish(frame, kCountFollowsCode, Index::zero, Aux::one, kHeaderSize + 2);
}

std::size_t emptyList(AnswerBuffer frame, std::int64_t code, Index index) {
    return finish(frame, code, index, Aux::one, kHeaderSize);
}

// Counts of a list announced by the front end, fitted to the room left.
std::size_t fitted(std::int64_t announced, std::size_t room, std::size_t entryBytes) {
    const auto count = static_cast<std::uint16_t>(announced);
    const std::size_t fit = room / entryBytes;
    return count < fit ? count : fit;
}

// List A (16-bit values on one line) and list B (one "a,b" line per entry)
// from `at`; returns the end of what was written. `lines` stands after line 1.
std::size_t putTwoLists(AnswerBuffer frame, std::size_t at, LineReader& lines, std::size_t na,
                        std::size_t nb, bool readLists) {
    if (!readLists) {
        // Nothing follows line 1: the lists are announced but hold zeros.
        for (std::size_t i = 0; i < 2 * na + 3 * nb; ++i) {
            frame[at + i] = 0;
        }
        return at + 2 * na + 3 * nb;
    }
    if (na > 0) {
        FieldReader values(lines.next());
        for (std::size_t i = 0; i < na; ++i, at += 2) {
            put16(frame, at, values.number());
        }
    }
    for (std::size_t i = 0; i < nb; ++i, at += 3) {
        FieldReader entry(lines.next());
        put16(frame, at, entry.number());
        put8(frame, at + 2, entry.number());
    }
    return at;
}

}  // namespace

std::size_t buildPlainAnswer(AnswerBuffer frame, std::string_view answer) {
    return finish(frame, readInteger(answer), Index::keep, Aux::one, kHeaderSize);
}

std::size_t buildValueListAnswer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    const std::int64_t code = readInteger(lines.next());
    if (static_cast<std::uint8_t>(code) == 1) {
        return finish(frame, code, Index::keep, Aux::one, kHeaderSize);
    }
    std::size_t count = 0;
    const std::size_t bar = answer.find('|');
    if (bar != std::string_view::npos) {
        // The rest of the text, later lines included, is one list of numbers.
        FieldReader values(answer.substr(bar + 1));
        for (; count < kMaxListValues && !values.atEnd(); ++count) {
            put16(frame, kHeaderSize + 2 * count, values.number());
        }
    } else if (!answer.empty()) {
        put16(frame, kHeaderSize, 0);
        count = 1;
    }
    return finish(frame, code, Index::keep, Aux::one, kHeaderSize + 2 * count);
}

std::size_t buildTableStatusAnswer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    const std::int64_t code = readInteger(lines.next());
    FieldReader fields(lines.next());
    if (static_cast<std::uint8_t>(code) == kCountFollowsCode) {
        return countFollowsCodeAnswer(frame, fields.number());
    }
    std::int64_t f[10];
    for (auto& value : f) {
        value = fields.number();
    }
    putStatusHead(frame, f);
    put8(frame, 22, f[9]);
    put8(frame, 23, f[8]);
    put8(frame, 24, f[7]);
    return finish(frame, code, Index::zero, Aux::one, kTableStatusLength);
}

std::size_t buildTableStatusWithItemsAnswer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    const std::int64_t code = readInteger(lines.next());
    FieldReader head(lines.next());
    if (static_cast<std::uint8_t>(code) == kCountFollowsCode) {
        return countFollowsCodeAnswer(frame, head.number());
    }
    std::int64_t f[9];
    for (auto& value : f) {
        value = head.number();
    }
    putStatusHead(frame, f);
    put8(frame, 22, f[8]);
    put8(frame, 23, f[7]);
    putAmount(frame, 24, head.scaled(100));

    std::size_t count = 0;
    while (lines.more() && count < kMaxReturnedItems) {
        FieldReader item(lines.next());
        const std::size_t at = kWithItemsHeadLength + count * 33;
        put16(frame, at, item.number());
        item.next();  // fields 2 and 3 are replaced by the table's own
        item.next();
        frame[at + 2] = frame[12];
        frame[at + 3] = frame[13];
        frame[at + 4] = frame[14];
        frame[at + 5] = frame[15];
        put16(frame, at + 6, item.number());
        put16(frame, at + 8, item.scaled(10));
        for (std::size_t b = 10; b < 14; ++b) {
            put8(frame, at + b, item.number());
        }
        for (std::size_t w = 14; w < 28; w += 2) {
            put16(frame, at + w, item.number());
        }
        putAmount(frame, at + 28, item.scaled(100));
        put8(frame, at + 32, item.number());
        ++count;
    }
    return finish(frame, code, Index::zero, Aux::one, kWithItemsHeadLength + 33 * count);
}

std::size_t buildTwoListsAnswer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    FieldReader first(lines.next());
    const std::int64_t code = first.number();
    const std::int64_t announcedA = first.number();
    const std::int64_t announcedB = first.number();
    constexpr std::size_t kHead = kHeaderSize + 2;
    const std::size_t na = fitted(announcedA, kMaxFrameSize - kHead, 2);
    const std::size_t nb = fitted(announcedB, kMaxFrameSize - kHead - 2 * na, 3);
    put16HighFirst(frame, 12, static_cast<std::int64_t>(na));
    const bool readLists = lines.more();
    const std::size_t end = putTwoLists(frame, kHead, lines, na, nb, readLists);
    return finish(frame, code, Index::zero, Aux::one, end);
}

std::size_t buildEntryList3Answer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    FieldReader first(lines.next());
    const std::int64_t code = first.number();
    const std::int64_t n = first.number();
    if (static_cast<std::uint8_t>(code) == kCountFollowsCode) {
        return countFollowsCodeAnswer(frame, n);
    }
    if (n < 1 || n > kMaxEntries3) {
        return emptyList(frame, code, Index::zero);
    }
    for (std::int64_t i = 0; i < n; ++i) {
        FieldReader entry(lines.next());
        const std::size_t at = kHeaderSize + 3 * static_cast<std::size_t>(i);
        put16(frame, at, entry.number());
        const std::int64_t high = entry.number();
        const std::int64_t low = entry.number();
        put8(frame, at + 2, static_cast<std::uint8_t>(high << 4) | static_cast<std::uint8_t>(low));
    }
    return finish(frame, code, Index::zero, Aux::one, kHeaderSize + 3 * static_cast<std::size_t>(n));
}

std::size_t buildEntryList6Answer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    FieldReader first(lines.next());
    const std::int64_t code = first.number();
    const std::int64_t n = first.number();
    if (n < 1 || n > kMaxEntries6) {
        return emptyList(frame, code, Index::keep);
    }
    for (std::int64_t i = 0; i < n; ++i) {
        FieldReader entry(lines.next());
        const std::size_t at = kHeaderSize + 6 * static_cast<std::size_t>(i);
        put16(frame, at, entry.number());
        put16(frame, at + 2, entry.number());
        put8(frame, at + 5, entry.number());
        put8(frame, at + 4, entry.number());
    }
    return finish(frame, code, Index::keep, Aux::one, kHeaderSize + 6 * static_cast<std::size_t>(n));
}

std::size_t buildEntryList8Answer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    FieldReader first(lines.next());
    const std::int64_t code = first.number();
    const std::int64_t n = first.number();
    if (n < 1 || n > kMaxEntries8) {
        return emptyList(frame, code, Index::keep);
    }
    for (std::int64_t i = 0; i < n; ++i) {
        FieldReader entry(lines.next());
        const std::size_t at = kHeaderSize + 8 * static_cast<std::size_t>(i);
        put16(frame, at, entry.number());
        put16(frame, at + 2, entry.number());
        put8(frame, at + 4, entry.number());
        const auto amount = static_cast<std::uint32_t>(entry.scaled(100));
        frame[at + 5] = static_cast<std::uint8_t>(amount & 0xFF);
        frame[at + 6] = static_cast<std::uint8_t>((amount >> 8) & 0xFF);
        frame[at + 7] = static_cast<std::uint8_t>((amount >> 16) & 0xFF);
    }
    return finish(frame, code, Index::keep, Aux::one, kHeaderSize + 8 * static_cast<std::size_t>(n));
}

std::size_t buildLoginAnswer(AnswerBuffer frame, std::string_view answer) {
    LineReader lines(answer);
    FieldReader first(lines.next());
    const std::int64_t code = first.number();
    // Bytes 12-33 keep the handheld's number and digit strings.
    put8(frame, 34, first.number());
    put8(frame, 35, code);
    for (std::size_t at = 36; at <= 42; ++at) {
        put8(frame, at, first.number());
    }
    const std::int64_t announcedA = first.number();
    const std::int64_t announcedB = first.number();
    const std::size_t na = fitted(announcedA, kMaxFrameSize - kLoginHeadLength, 2);
    if (na == 0) {
        put16HighFirst(frame, 43, 0);
        return finish(frame, code, Index::keep, Aux::keep, kLoginHeadLength);
    }
    const std::size_t nb = fitted(announcedB, kMaxFrameSize - kLoginHeadLength - 2 * na, 3);
    put16HighFirst(frame, 43, static_cast<std::int64_t>(na));
    const std::size_t end = putTwoLists(frame, kLoginHeadLength, lines, na, nb, true);
    return finish(frame, code, Index::keep, Aux::keep, end);
}

std::size_t buildSevenByteStatusAnswer(AnswerBuffer frame, std::string_view answer) {
    FieldReader fields(LineReader(answer).next());
    const std::int64_t code = fields.number();
    for (std::size_t at = 12; at < kSevenByteLength; ++at) {
        put8(frame, at, fields.number());
    }
    return finish(frame, code, Index::keep, Aux::one, kSevenByteLength);
}

std::size_t buildRadioTestEcho(AnswerBuffer frame) {
    std::size_t intact = 0;
    for (std::size_t at = 12; at <= 36; ++at) {
        intact += frame[at] == kRadioTestByte ? 1 : 0;
    }
    frame[3] = static_cast<std::uint8_t>(4 * intact);
    for (std::size_t at = 4; at < kRadioTestEchoLength; ++at) {
        frame[at] = kRadioTestByte;
    }
    return kRadioTestEchoLength;
}

std::size_t buildAnswer(AnswerKind kind, AnswerBuffer frame, std::string_view answer) {
    switch (kind) {
    case AnswerKind::plain:
        return buildPlainAnswer(frame, answer);
    case AnswerKind::valueList:
        return buildValueListAnswer(frame, answer);
    case AnswerKind::tableStatus:
        return buildTableStatusAnswer(frame, answer);
    case AnswerKind::tableStatusWithItems:
        return buildTableStatusWithItemsAnswer(frame, answer);
    case AnswerKind::twoLists:
        return buildTwoListsAnswer(frame, answer);
    case AnswerKind::entryList3:
        return buildEntryList3Answer(frame, answer);
    case AnswerKind::entryList6:
        return buildEntryList6Answer(frame, answer);
    case AnswerKind::entryList8:
        return buildEntryList8Answer(frame, answer);
    case AnswerKind::login:
        return buildLoginAnswer(frame, answer);
    case AnswerKind::sevenByteStatus:
        return buildSevenByteStatusAnswer(frame, answer);
    case AnswerKind::radioTestEcho:
        return buildRadioTestEcho(frame);
    }
    return 0;
}

}  // namespace padlink
