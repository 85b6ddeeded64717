// Locale-independent decimal fractions.
#include "config/decimal_text.h"

#include <charconv>
#include <limits>

namespace padlink {

std::size_t skipBlanksAndSign(std::string_view text, bool* negative) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) {
        ++at;
    }
    *negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        *negative = text[at] == '-';
        ++at;
    }
    return at;
}

double leadingDecimal(std::string_view text) {
    bool negative = false;
    const std::size_t at = skipBlanksAndSign(text, &negative);
    // from_chars takes no sign of its own here: "+-1" and "--1" are no number.
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        return 0.0;
    }
    double value = 0.0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // strtod gives the infinity of the sign, or 0 for an underflow; from_chars
        // leaves the value alone, so tell the two apart by the exponent's sign.
        const std::string_view digits(first, text.size() - at);
        const std::size_t e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc{}) {
        return 0.0;
    }
    return negative ? -value : value;
}

}  // namespace padlink
