// JPEG encoding of a picture with libjpeg.
#pragma once

#include <cstdint>
#include <string>

// Writes rowCount rows of width pixels (red, green, blue bytes, rows
// rowPitch bytes apart, the top row first) as a baseline JFIF file at
// quality 10 x qualityLevel, the level held in 0..10. The new file replaces
// the target only once it is complete; false when the target cannot be
// written or libjpeg reports an error, and then the old file is as it was,
// nothing is left behind and reason (if given) says why.
bool WriteJpeg(const uint8_t* rows, int rowCount, int width, int rowPitch, const std::string& target,
               int qualityLevel, std::string* reason = nullptr);
