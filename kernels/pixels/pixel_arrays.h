// Allocation and release of a format's pixel buffer and line table.
#pragma once

#include <cstddef>

namespace vorlane::detail {

// A pixel buffer and its line table: the table from new[], the buffer a page block
// (platform/internal/page_blocks.h) when page-sized, else from new[].
struct PixelArrays {
  unsigned char* data = nullptr;
  unsigned char** lines = nullptr;
};

// Allocates bytesPerLine x height bytes (left uninitialised; a reused page block holds what
// its last user left) and height row pointers (not yet set). Both counts are non-negative and
// already checked against the buffer limit. Throws std::bad_alloc with nothing allocated.
PixelArrays AllocatePixelArrays(int bytesPerLine, int height);

// Whether the middle page of the bytes bytes at data is in memory: true for a buffer that
// reuses memory already written, false for fresh pages the system has not yet handed out.
bool PagesInMemory(const unsigned char* data, size_t bytes);

// Releases both arrays (either may be null) and clears the pointers.
void FreePixelArrays(unsigned char*& data, unsigned char**& lines);

}  // namespace vorlane::detail
