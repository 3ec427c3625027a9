// Test helpers for PNG views: decoding a PNG file back into pixels, and a scratch directory.
#pragma once

#include <filesystem>
#include <vector>

#include "platform/types.h"

// A decoded 8-bit RGB PNG: width x height pixels 0x00RRGGBB, top row first.
struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
};

// Decodes an 8-bit RGB PNG file; false when the file is missing or not such a PNG.
bool ReadPng(const std::filesystem::path& path, DecodedPng& out);

// A fresh directory under the temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};
