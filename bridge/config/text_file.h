// Text-mode files as the bridge's Windows peers write them: bytes kept as
// they are (GBK), CR LF on disk, CR LF or a bare LF read as a line end, and
// file names matched without regard to ASCII case.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace padlink {

// The file's lines without their line ends; nullopt when it cannot be read.
std::optional<std::vector<std::string>> readTextLines(const std::filesystem::path& file);

// Creates or truncates the file and writes the text with every "\n" as CR LF.
bool writeTextFile(const std::filesystem::path& file, std::string_view text);

// folder/name, or the entry of folder whose name equals it ignoring ASCII
// case when the exact one is absent.
std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name);

}  // namespace padlink
