// Decimal fractions as the C library reads them in the "C" locale: leading
// blanks, an optional sign, then the longest number that follows ("12.5x"
// gives 12.5, no number gives 0). The files and answers the bridge reads
// always write "." as the decimal point, while the window layer sets the
// process locale from the environment; nothing here may ever consult it.
#pragma once

#include <cstddef>
#include <string_view>

namespace padlink {

// Where the digits start, as the C conversions see it: after the leading blanks of
// the "C" locale and one sign, which goes to `negative`.
std::size_t skipBlanksAndSign(std::string_view text, bool* negative);

// What atof gives under the "C" locale; infinities and not-a-number are read
// as such, values beyond double's range as infinities.
double leadingDecimal(std::string_view text);

}  // namespace padlink
