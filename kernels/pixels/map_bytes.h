// Allocation of the byte blocks of image maps.
#pragma once

#include <cstddef>
#include <memory>

namespace vorlane::detail {

// Releases a block of AllocateMapBytes (null is allowed).
void FreeMapBytes(unsigned char* bytes);

struct MapBytesDeleter {
  void operator()(unsigned char* bytes) const { FreeMapBytes(bytes); }
};
// A map's byte block; CImageMap releases its m_pData with ReleaseMapBytes.
using MapBytes = std::unique_ptr<unsigned char[], MapBytesDeleter>;

// A block of bytes bytes (at least one, so that an empty map still has a block), zeroed when
// zeroed, else with undefined content. Page-sized blocks are page blocks
// (platform/internal/page_blocks.h): present in memory, reused after release; small ones come from
// the heap. Throws std::bad_alloc.
MapBytes AllocateMapBytes(size_t bytes, bool zeroed);

// A new block (as AllocateMapBytes) holding a copy of the bytes bytes at source (not null
// when bytes > 0), page-sized ones copied on several cores at once. Throws std::bad_alloc.
MapBytes CopyMapBytes(const unsigned char* source, size_t bytes);

// Offset of the first 64-byte line of [bytes, bytes + count) that holds a non-zero byte, or
// count when all are zero (a fast test of an unlabelled stretch of a map).
size_t FirstNonZeroLine(const unsigned char* bytes, size_t count);

// Releases a block of AllocateMapBytes (null is allowed) and clears the pointer.
inline void ReleaseMapBytes(unsigned char*& bytes) {
  FreeMapBytes(bytes);
  bytes = nullptr;
}

}  // namespace vorlane::detail
