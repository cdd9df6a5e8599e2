// Checks on canvas pictures and small file fixtures for unit tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas.h"

// Expects every pixel of the box to have the colour; reports the first that does not.
void ExpectRegion(const CanvasImage& img, int x, int y, int w, int h, Rgb colour);
// Expects two pictures to be equal; reports the first differing pixel and how many differ.
void ExpectCanvasEquals(const CanvasImage& actual, const CanvasImage& expected);

// A fresh folder under the system's temporary folder.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
