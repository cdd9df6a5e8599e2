// Reading numbers out of typed text.
#pragma once

#include <cstdint>
#include <string>

// Turns typed text into a number: blanks and tabs skipped, one optional sign,
// then "$" and hex digits, "%" and binary digits, or decimal digits; reading
// stops at the first foreign character, no digits give 0, and the value
// wraps modulo 2^64.
int64_t ParseNumber(const std::string& text);

// The low 32 bits of ParseNumber as a signed number, as callers take it.
int32_t ParseNumber32(const std::string& text);
