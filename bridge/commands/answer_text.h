// Reading the front end's answer text: lines separated by "|" (the answer
// file's non-empty lines joined), fields inside a line separated by ",", and
// each field read the way the front end's numbers have always been read
// (leading number, no digits gives 0). Readers walk the text in place and
// never allocate; they must never read past the text they were given, and
// never depend on the process locale (the window layer may change it).
#pragma once

#include <cstdint>
#include <string_view>

namespace padlink {

// Leading blanks, an optional sign, then digits up to the first other
// character; no digits gives 0. Saturates instead of overflowing, so a long
// digit run cannot wrap into a small number by accident before the caller
// cuts it to its width.
std::int64_t readInteger(std::string_view field);

// A decimal fraction times `factor`, truncated toward zero (12.34 with 100
// gives 1234, 0.29 gives 28: the double product decides). Not-a-number and
// infinities give 0; products beyond 64 bits saturate.
std::int64_t readScaled(std::string_view field, int factor);

// The fields of one line in order; past the last field every field is empty
// and reads 0.
class FieldReader {
public:
    explicit FieldReader(std::string_view line) : rest_(line) {}

    // True once the last field has been taken.
    bool atEnd() const { return done_; }
    std::string_view next();
    std::int64_t number() { return readInteger(next()); }
    std::int64_t scaled(int factor) { return readScaled(next(), factor); }

private:
    std::string_view rest_;
    bool done_ = false;
};

// The lines of an answer text in order; past the last line every line is
// empty.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text), done_(text.empty()) {}

    bool more() const { return !done_; }
    std::string_view next();

private:
    std::string_view rest_;
    bool done_;
};

}  // namespace padlink
