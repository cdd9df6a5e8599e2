#include "platform/drop_text.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        int hi, lo;
        if (s[i] == '%' && i + 2 < s.size() && (hi = HexValue(s[i + 1])) >= 0 && (lo = HexValue(s[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// One line of the list as a plain path.
std::string PathOf(const std::string& line) {
    const std::string scheme = "file://";
    if (line.compare(0, scheme.size(), scheme) != 0) return line;
    std::string rest = line.substr(scheme.size());
    const size_t slash = rest.find('/');  // skip a host name: file://host/path
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    return PercentDecoded(rest);
}

}  // namespace

std::string DecodeDroppedPaths(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) {
            if (!out.empty()) out += '\n';
            out += PathOf(line);
        }
        start = end + 1;
    }
    return out;
}
