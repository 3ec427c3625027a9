// Test helper for PNG views: decoding a PNG file back into pixels.
#pragma once

#include <filesystem>
#include <vector>

#include "platform/types.h"

// A decoded PNG (8-bit RGB or palette): width x height pixels 0x00RRGGBB, top row first.
struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
};

// Decodes an 8-bit RGB or opaque palette PNG file; false when the file is missing or not
// such a PNG.
bool ReadPng(const std::filesystem::path& path, DecodedPng& out);
