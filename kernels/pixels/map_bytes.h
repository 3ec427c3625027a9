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

// A block of bytes bytes (at least one, so that an empty map still has a block). zeroed:
// every byte 0 without a pass over the block: page-sized blocks are fresh pages of the
// system, zeroed when first touched, so a map nobody writes costs no time and no memory;
// small ones come from calloc. Otherwise the content is undefined. Throws std::bad_alloc.
MapBytes AllocateMapBytes(size_t bytes, bool zeroed);

// A new block (as AllocateMapBytes) holding a copy of the bytes bytes at source (not null
// when bytes > 0). A page-sized source that is mostly zero (a map nobody has written, or
// has written in a few places) is copied by a scan for its non-zero stretches, without
// reading what the system never gave pages to, and the copy takes memory only where those
// stretches are. Throws std::bad_alloc.
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
