// Reading numbers out of typed text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "viewer/parse_number.h"

namespace {

TEST(ParseNumber, ReadsWhatUsersType) {
    struct Case {
        const char* text;
        int64_t value;
    } cases[] = {
        // nothing to read
        {"", 0},
        {"   ", 0},
        {"-", 0},
        {"+", 0},
        {"$", 0},
        {"%", 0},
        {"-$", 0},
        {"abc", 0},
        // decimal, blanks and tabs before, one sign
        {"0", 0},
        {"123", 123},
        {"007", 7},
        {"  \t 42", 42},
        {"\t-17", -17},
        {"+17", 17},
        {" -5", -5},
        // only one sign, and nothing between it and the digits
        {"--5", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"-\t5", 0},
        // other white space is a foreign character
        {"\n5", 0},
        {"\r5", 0},
        // hexadecimal after "$", both cases
        {"$ff", 255},
        {"$FF", 255},
        {"$1aB", 0x1ab},
        {"-$10", -16},
        {"+$10", 16},
        {" $7FFFFFFF", 0x7fffffff},
        {"$g1", 0},
        {"$ 1", 0},
        // binary after "%"
        {"%1011", 11},
        {"%102", 2},
        {"-%11", -3},
        {"%$1", 0},
        // reading stops at the first character that does not belong
        {"12ab", 12},
        {"12 34", 12},
        {"1.5", 1},
        {"5-", 5},
        {"0x10", 0},
        {"9a", 9},
        {"$1fz", 0x1f},
        // modulo 2^64
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MIN},
        {"-9223372036854775808", INT64_MIN},
        {"18446744073709551615", -1},
        {"18446744073709551616", 0},
        {"18446744073709551617", 1},
        {"$ffffffffffffffff", -1},
        {"$10000000000000000", 0},
        {"$10000000000000005", 5},
        {"-18446744073709551615", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseNumber, CallersTakeTheLowThirtyTwoBitsAsSigned) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"1000", 1000},
        {"-20", -20},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967296", 0},
        {"$80000000", INT32_MIN},
        {"$123456789", 0x23456789},
        {"%11111111111111111111111111111111", -1},
        {"18446744073709551617", 1},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseNumber32(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
