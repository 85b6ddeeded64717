// The thirteen master table files the POS exports into the TXT folder: their
// record layouts, the conversion of a text line into a fixed binary record,
// the loading of a file into the session's data area and the cutting of a
// loaded table into data packets. Pure work on files, the session and a
// frame buffer: nothing here touches a port or a window. Messages for the
// operator come back as values; showing them is the caller's business.
#pragma once

#include "download/download_flags.h"
#include "link/frame.h"
#include "link/link_session.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace padlink {

using DownloadBuffer = std::span<std::uint8_t, kMaxFrameSize>;

enum class FieldKind : std::uint8_t {
    i16,     // atoi, 2 bytes little-endian
    i8,      // atoi, low 8 bits
    text,    // blanks removed, cut after n bytes, n + 2 bytes zero-padded
    amount,  // atof x 100 truncated, low 24 bits little-endian, then a zero byte
};

struct Field {
    FieldKind kind;
    std::uint8_t textBytes = 0;  // n of a text field
};

std::size_t slotBytes(Field field);

struct TableFile {
    int number;
    std::string_view fileName;        // on disk
    std::string_view fileNameGbk;     // inside messages
    std::string_view title;           // GBK, the check box on the download page
    std::string_view missingMessage;  // GBK
    bool checkedAtStart;
    bool boxShown;
    std::span<const Field> fields;
};

// nullptr outside 1..13.
const TableFile* tableFile(int number);

// What fits behind the 15 bytes of header and size field; 0 outside 1..13.
std::size_t recordsPerPacket(int number);
// Packets of a table of `count` records: rounded up, at least 1.
int packetsOf(int number, std::uint32_t count);

// Converts the field texts of one line into `record` (the table's size,
// zero-filled by the caller). Fields beyond the layout are ignored, missing
// ones convert as empty text.
void encodeRecord(const TableFile& table, std::span<const std::string_view> fields,
                  std::span<std::uint8_t> record);

struct ParseCount {
    std::uint32_t stored = 0;
    std::uint32_t dropped = 0;  // lines past the table's record limit
};

// Parses the file's non-empty lines joined with "|" and appends the records.
ParseCount parseTableText(LinkSession& session, int number, std::string_view joined);

inline constexpr int kTableLoaded = 0;
inline constexpr int kTableMissing = 2;

struct LoadResult {
    int code = kTableMissing;
    std::uint32_t records = 0;
    std::uint32_t dropped = 0;
    std::string message;  // GBK; set when the file is missing or empty
};

// Loads folder/<file> into the session. A missing or empty file gives
// kTableMissing with its message and takes the table out of the manual choice.
LoadResult loadTable(LinkSession& session, int number, const std::filesystem::path& folder,
                     ManualChoice choice);

// Writes data packet k of a loaded table into the buffer (bytes 2 and the
// payload beyond the packet are left as they are) and returns its length;
// sets session.packetCount. 0 for a number outside 1..13.
std::size_t packTable(DownloadBuffer buffer, LinkSession& session, int number, int k);

}  // namespace padlink
