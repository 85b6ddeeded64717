// Answer text readers.
#include "commands/answer_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace padlink {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::string_view cutAt(std::string_view& rest, bool& done, char separator) {
    const std::size_t at = rest.find(separator);
    std::string_view piece;
    if (at == std::string_view::npos) {
        piece = rest;
        rest = {};
        done = true;
    } else {
        piece = rest.substr(0, at);
        rest.remove_prefix(at + 1);
    }
    return piece;
}

}  // namespace

std::int64_t readInteger(std::string_view field) {
    std::string_view text = skipBlanks(field);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        const int digit = c - '0';
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -value : value;
}

std::int64_t readScaled(std::string_view field, int factor) {
    std::string_view text = skipBlanks(field);
    // from_chars takes a minus sign but no plus sign; "+-1" is no number.
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') {
            return 0;
        }
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        return 0;  // tiny values underflow to 0, huge ones are no amount
    }
    if (error != std::errc{}) {
        return 0;
    }
    const double product = std::trunc(value * factor);
    if (!std::isfinite(product)) {
        return 0;
    }
    constexpr double kBound = 9.0e18;
    if (product >= kBound) {
        return static_cast<std::int64_t>(kBound);
    }
    if (product <= -kBound) {
        return -static_cast<std::int64_t>(kBound);
    }
    return static_cast<std::int64_t>(product);
}

std::string_view FieldReader::next() {
    if (done_) {
        return {};
    }
    return cutAt(rest_, done_, ',');
}

std::string_view LineReader::next() {
    if (done_) {
        return {};
    }
    return cutAt(rest_, done_, '|');
}

}  // namespace padlink
