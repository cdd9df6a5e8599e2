// Reading numbers out of typed text.
#include "viewer/parse_number.h"

namespace {

// The value of a digit in the base, or -1 for a character that does not belong.
int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    return d < base ? d : -1;
}

}  // namespace

// Blanks and tabs, one sign, "$" or "%", digits; the rest is not read.
int64_t ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    uint64_t value = 0;  // unsigned, so that it wraps modulo 2^64
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i], base);
        if (d < 0) break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (negative) value = 0 - value;
    return static_cast<int64_t>(value);
}

// The low 32 bits, as callers take the number.
int32_t ParseNumber32(const std::string& text) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ParseNumber(text))));
}
