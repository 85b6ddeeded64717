// Text-mode reading and writing of the bridge's configuration files.
#include "config/text_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace padlink {

std::optional<std::vector<std::string>> readTextLines(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    if (in.bad()) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool lastLine = end == std::string::npos;
        if (lastLine) {
            end = content.size();
        }
        std::size_t stop = end;
        if (!lastLine && stop > start && content[stop - 1] == '\r') {
            --stop;
        }
        lines.emplace_back(content, start, stop - start);
        start = end + 1;
    }
    return lines;
}

bool writeTextFile(const std::filesystem::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    for (char c : text) {
        if (c == '\n') {
            out.put('\r');
        }
        out.put(c);
    }
    out.close();
    return !out.fail();
}

namespace {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
    std::filesystem::path exact = folder / std::filesystem::path(std::string(name));
    std::error_code error;
    if (std::filesystem::exists(exact, error)) {
        return exact;
    }
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (equalIgnoringAsciiCase(it->path().filename().native(), name)) {
            return it->path();
        }
    }
    return exact;
}

}  // namespace padlink
