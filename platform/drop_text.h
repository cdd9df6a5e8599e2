// The text a drop carries, turned into plain paths.
#pragma once

#include <string>

// Turns a dropped list (file:// URIs, percent-encoded, or plain paths; one a
// line, ended by "\n" or "\r\n") into plain paths joined by "\n".
std::string DecodeDroppedPaths(const std::string& text);
