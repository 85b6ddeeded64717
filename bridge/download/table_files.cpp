// Table files: layouts, line conversion, loading and packing.
#include "download/table_files.h"

#include "config/decimal_text.h"
#include "config/text_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace padlink {
namespace {

constexpr Field kI16{FieldKind::i16};
constexpr Field kI8{FieldKind::i8};
constexpr Field kA24{FieldKind::amount};
constexpr Field text(std::uint8_t n) { return {FieldKind::text, n}; }

constexpr std::size_t kPacketHead = 15;  // header and the 24-bit table size
constexpr std::size_t kLargestRecord = 50;

constexpr Field kFields1[] = {kI16, kI16, kI16, text(12), text(24), kI16, kI16};
constexpr Field kFields2[] = {kI16, text(12)};
constexpr Field kFields3[] = {kI16, kI16, text(12)};
constexpr Field kFields4[] = {kI16, kI16};
constexpr Field kFields5[] = {kI16, kI16, kI8, kI8};
constexpr Field kFields6[] = {kI16, text(10), kI8, kI8, kI16, kA24};
constexpr Field kFields7[] = {kI16, text(18)};
constexpr Field kFields8[] = {kI16, text(12)};
constexpr Field kFields9[] = {kI16, kI16, text(12), kI8, kA24, text(6), kI8};
constexpr Field kFields10[] = {kI16, text(4), kI8, kA24, kI8};
constexpr Field kFields11[] = {kI16, text(18)};
constexpr Field kFields12[] = {kI16, text(8)};
constexpr Field kFields13[] = {kI16, text(8), text(8), kI8, kI16, kI16, kI16, text(8)};

const std::array<TableFile, kTableCount> kTables{{
// 菜品信息表.txt / 菜品信息 / 菜品信息表不存在，将跳过该文件，继续下载
    {1, "菜品信息表.txt", "\xb2\xcb\xc6\xb7\xd0\xc5\xcf\xa2\xb1\xed\x2e\x74\x78\x74", "\xb2\xcb\xc6\xb7\xd0\xc5\xcf\xa2", "\xb2\xcb\xc6\xb7\xd0\xc5\xcf\xa2\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields1},
    // 菜品一级分类表.txt / 菜品一级 / 菜品一级分类表不存在，将跳过该文件，继续下载
    {2, "菜品一级分类表.txt", "\xb2\xcb\xc6\xb7\xd2\xbb\xbc\xb6\xb7\xd6\xc0\xe0\xb1\xed\x2e\x74\x78\x74", "\xb2\xcb\xc6\xb7\xd2\xbb\xbc\xb6", "\xb2\xcb\xc6\xb7\xd2\xbb\xbc\xb6\xb7\xd6\xc0\xe0\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields2},
    // 菜品二级分类表.txt / 菜品二级 / 菜品二级分类表不存在，将跳过该文件，继续下载
    {3, "菜品二级分类表.txt", "\xb2\xcb\xc6\xb7\xb6\xfe\xbc\xb6\xb7\xd6\xc0\xe0\xb1\xed\x2e\x74\x78\x74", "\xb2\xcb\xc6\xb7\xb6\xfe\xbc\xb6", "\xb2\xcb\xc6\xb7\xb6\xfe\xbc\xb6\xb7\xd6\xc0\xe0\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields3},
    // 默认做法表.txt / 默认做法 / 默认做法表不存在，将跳过该文件，继续下载
    {4, "默认做法表.txt", "\xc4\xac\xc8\xcf\xd7\xf6\xb7\xa8\xb1\xed\x2e\x74\x78\x74", "\xc4\xac\xc8\xcf\xd7\xf6\xb7\xa8", "\xc4\xac\xc8\xcf\xd7\xf6\xb7\xa8\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields4},
    // 套餐表.txt / 套餐 / 套餐表不存在，将跳过该文件，继续下载
    {5, "套餐表.txt", "\xcc\xd7\xb2\xcd\xb1\xed\x2e\x74\x78\x74", "\xcc\xd7\xb2\xcd", "\xcc\xd7\xb2\xcd\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields5},
    // 房台表.txt / 房台 / 房台表不存在，将跳过该文件，继续下载
    {6, "房台表.txt", "\xb7\xbf\xcc\xa8\xb1\xed\x2e\x74\x78\x74", "\xb7\xbf\xcc\xa8", "\xb7\xbf\xcc\xa8\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields6},
    // 退菜理由表.txt / 退菜理由 / 退菜理由表不存在，将跳过该文件，继续下载
    {7, "退菜理由表.txt", "\xcd\xcb\xb2\xcb\xc0\xed\xd3\xc9\xb1\xed\x2e\x74\x78\x74", "\xcd\xcb\xb2\xcb\xc0\xed\xd3\xc9", "\xcd\xcb\xb2\xcb\xc0\xed\xd3\xc9\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields7},
    // 一级做法表.txt / 做法一级 / 一级做法表不存在，将跳过该文件，继续下载
    {8, "一级做法表.txt", "\xd2\xbb\xbc\xb6\xd7\xf6\xb7\xa8\xb1\xed\x2e\x74\x78\x74", "\xd7\xf6\xb7\xa8\xd2\xbb\xbc\xb6", "\xd2\xbb\xbc\xb6\xd7\xf6\xb7\xa8\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields8},
    // 二级做法表.txt / 做法二级 / 二级做法表不存在，将跳过该文件，继续下载
    {9, "二级做法表.txt", "\xb6\xfe\xbc\xb6\xd7\xf6\xb7\xa8\xb1\xed\x2e\x74\x78\x74", "\xd7\xf6\xb7\xa8\xb6\xfe\xbc\xb6", "\xb6\xfe\xbc\xb6\xd7\xf6\xb7\xa8\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields9},
    // 菜品单位表.txt / 菜品单位 / 菜品单位表不存在，将跳过该文件，继续下载
    {10, "菜品单位表.txt", "\xb2\xcb\xc6\xb7\xb5\xa5\xce\xbb\xb1\xed\x2e\x74\x78\x74", "\xb2\xcb\xc6\xb7\xb5\xa5\xce\xbb", "\xb2\xcb\xc6\xb7\xb5\xa5\xce\xbb\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields10},
    // 统计类别表.txt / 统计类别 / 统计类别数据表不存在，将跳过该文件，继续下载
    {11, "统计类别表.txt", "\xcd\xb3\xbc\xc6\xc0\xe0\xb1\xf0\xb1\xed\x2e\x74\x78\x74", "\xcd\xb3\xbc\xc6\xc0\xe0\xb1\xf0", "\xcd\xb3\xbc\xc6\xc0\xe0\xb1\xf0\xca\xfd\xbe\xdd\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", false, false, kFields11},
    // 楼层表.txt / 楼层 / 楼台表不存在，将跳过该文件，继续下载
    {12, "楼层表.txt", "\xc2\xa5\xb2\xe3\xb1\xed\x2e\x74\x78\x74", "\xc2\xa5\xb2\xe3", "\xc2\xa5\xcc\xa8\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", true, true, kFields12},
    // 打印类型表.txt / 打印类型 / 打印类型数据表不存在，将跳过该文件，继续下载
    {13, "打印类型表.txt", "\xb4\xf2\xd3\xa1\xc0\xe0\xd0\xcd\xb1\xed\x2e\x74\x78\x74", "\xb4\xf2\xd3\xa1\xc0\xe0\xd0\xcd", "\xb4\xf2\xd3\xa1\xc0\xe0\xd0\xcd\xca\xfd\xbe\xdd\xb1\xed\xb2\xbb\xb4\xe6\xd4\xda\xa3\xac\xbd\xab\xcc\xf8\xb9\xfd\xb8\xc3\xce\xc4\xbc\xfe\xa3\xac\xbc\xcc\xd0\xf8\xcf\xc2\xd4\xd8", false, false, kFields13},
}};

// atoi: leading white space, a sign, digits; anything else ends the number.
// Saturates instead of overflowing; the slot keeps the low bits.
long long leadingInteger(std::string_view text) {
    bool negative = false;
    std::size_t at = skipBlanksAndSign(text, &negative);
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<long long>(value * 10 + (text[at] - '0'), INT_MAX + 1LL);
    }
    value = negative ? -value : value;
    return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

// atof x 100, truncated toward zero; what no integer holds becomes 0. Read
// as in the "C" locale: under a comma-decimal locale atof would read 12.5 as 12.
long long hundredths(std::string_view text) {
    const double value = leadingDecimal(text) * 100.0;
    if (!std::isfinite(value) || std::fabs(value) >= 9.0e18) {
        return 0;
    }
    return static_cast<long long>(std::trunc(value));
}

void putText(std::string_view text, std::size_t n, std::uint8_t* slot) {
    std::size_t used = 0;
    for (char c : text) {
        if (used == n) {
            break;
        }
        if (c != ' ' && c != '\t') {
            slot[used++] = static_cast<std::uint8_t>(c);
        }
    }
}

}  // namespace

std::size_t slotBytes(Field field) {
    switch (field.kind) {
        case FieldKind::i16:
            return 2;
        case FieldKind::i8:
            return 1;
        case FieldKind::text:
            return field.textBytes + 2u;
        case FieldKind::amount:
            return 4;
    }
    return 0;
}

const TableFile* tableFile(int number) {
    if (number < 1 || number > kTableCount) {
        return nullptr;
    }
    return &kTables[static_cast<std::size_t>(number - 1)];
}

std::size_t recordsPerPacket(int number) {
    const std::size_t size = tableLayout(number).recordBytes;
    return size == 0 ? 0 : (kMaxFrameSize - kPacketHead) / size;
}

int packetsOf(int number, std::uint32_t count) {
    const std::size_t per = recordsPerPacket(number);
    if (per == 0 || count == 0) {
        return 1;
    }
    return static_cast<int>((count + per - 1) / per);
}

void encodeRecord(const TableFile& table, std::span<const std::string_view> fields,
                  std::span<std::uint8_t> record) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const Field field = table.fields[i];
        const std::size_t size = slotBytes(field);
        if (at + size > record.size()) {
            return;
        }
        const std::string_view value = i < fields.size() ? fields[i] : std::string_view{};
        std::uint8_t* slot = record.data() + at;
        switch (field.kind) {
            case FieldKind::i16: {
                const auto v = static_cast<std::uint32_t>(leadingInteger(value));
                slot[0] = static_cast<std::uint8_t>(v & 0xFF);
                slot[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                break;
            }
            case FieldKind::i8:
                slot[0] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(leadingInteger(value)) & 0xFF);
                break;
            case FieldKind::text:
                putText(value, field.textBytes, slot);
                break;
            case FieldKind::amount: {
                const auto v = static_cast<std::uint64_t>(hundredths(value));
                slot[0] = static_cast<std::uint8_t>(v & 0xFF);
                slot[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                slot[2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
                slot[3] = 0;
                break;
            }
        }
        at += size;
    }
}

ParseCount parseTableText(LinkSession& session, int number, std::string_view joined) {
    ParseCount count;
    const TableFile* table = tableFile(number);
    if (table == nullptr) {
        return count;
    }
    const std::size_t fieldCount = table->fields.size();
    const std::size_t recordBytes = tableLayout(number).recordBytes;
    std::array<std::string_view, 8> fields{};
    std::array<std::uint8_t, kLargestRecord> record{};
    if (fieldCount > fields.size() || recordBytes > record.size()) {
        return count;
    }

    std::size_t at = 0;
    while (at < joined.size()) {
        // Every field but the last ends at a comma, even one on the next line:
        // that is how a line with a field missing borrows from the next one.
        for (std::size_t i = 0; i < fieldCount; ++i) {
            const char end = (i + 1 < fieldCount) ? ',' : '|';
            const std::size_t stop = std::min(joined.find(end, at), joined.size());
            fields[i] = joined.substr(std::min(at, joined.size()), stop - std::min(at, joined.size()));
            at = stop + 1;
        }
        std::fill(record.begin(), record.end(), 0);
        const auto slot = std::span(record.data(), recordBytes);
        encodeRecord(*table, std::span(fields.data(), fieldCount), slot);
        if (session.appendRecord(number, slot)) {
            ++count.stored;
        } else {
            ++count.dropped;
        }
    }
    return count;
}

LoadResult loadTable(LinkSession& session, int number, const std::filesystem::path& folder,
                     ManualChoice choice) {
    LoadResult result;
    const TableFile* table = tableFile(number);
    if (table == nullptr) {
        return result;
    }
    std::string joined;
    if (const auto lines = readTextLines(findIgnoringCase(folder, table->fileName))) {
        for (const std::string& line : *lines) {
            if (line.empty()) {
                continue;
            }
            if (!joined.empty()) {
                joined += '|';
            }
            joined += line;
        }
    }
    if (joined.empty()) {
        result.message = std::string(table->missingMessage);
        removeFromChoice(choice, number);
        return result;
    }
    const ParseCount count = parseTableText(session, number, joined);
    result.code = kTableLoaded;
    result.records = count.stored;
    result.dropped = count.dropped;
    return result;
}

std::size_t packTable(DownloadBuffer buffer, LinkSession& session, int number, int k) {
    const std::size_t per = recordsPerPacket(number);
    if (per == 0) {
        return 0;
    }
    const std::size_t recordBytes = tableLayout(number).recordBytes;
    const std::uint32_t count = session.recordCount(number);
    const int packets = packetsOf(number, count);

    std::fill(buffer.begin() + kHeaderSize, buffer.end(), 0);
    buffer[0] = 1;
    buffer[1] = static_cast<std::uint8_t>(k & 0xFF);
    buffer[3] = 8;
    // Byte 4 and the index are single bytes on the wire; the count the
    // conversations walk is the real one, so no table is cut short silently.
    buffer[4] = static_cast<std::uint8_t>(packets & 0xFF);
    buffer[7] = static_cast<std::uint8_t>(number);
    session.packetCount = packets;
    if (count == 0) {
        sealFrame(buffer, kHeaderSize);
        return kHeaderSize;
    }
    const std::uint64_t size = std::uint64_t{count} * recordBytes;
    buffer[12] = static_cast<std::uint8_t>((size >> 16) & 0xFF);
    buffer[13] = static_cast<std::uint8_t>((size >> 8) & 0xFF);
    buffer[14] = static_cast<std::uint8_t>(size & 0xFF);

    // A packet past the last holds no records: the handheld gets the header
    // and the table size, never bytes from beyond the table.
    std::size_t n = 0;
    const std::uint64_t first = k < 0 ? count : std::uint64_t(k) * per;
    if (first < count) {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(per, count - first));
        const auto records = session.records(number);
        std::copy_n(records.begin() + static_cast<std::ptrdiff_t>(first * recordBytes),
                    n * recordBytes, buffer.begin() + kPacketHead);
    }
    const std::size_t length = kPacketHead + n * recordBytes;
    sealFrame(buffer, length);
    return length;
}

}  // namespace padlink
