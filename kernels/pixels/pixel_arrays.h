// Allocation and release of a format's pixel buffer and line table.
#pragma once

namespace vorlane::detail {

// A pixel buffer and its line table, both from new[].
struct PixelArrays {
  unsigned char* data = nullptr;
  unsigned char** lines = nullptr;
};

// Allocates bytesPerLine x height bytes (left uninitialised) and height row pointers (not
// yet set). Both counts are non-negative and already checked against the buffer limit.
// Throws std::bad_alloc with nothing allocated.
PixelArrays AllocatePixelArrays(int bytesPerLine, int height);

// Releases both arrays (either may be null) and clears the pointers.
void FreePixelArrays(unsigned char*& data, unsigned char**& lines);

}  // namespace vorlane::detail
