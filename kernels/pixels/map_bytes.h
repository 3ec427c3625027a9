// Allocation of the byte blocks of image maps.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace vorlane::detail {

struct MapBytesDeleter {
  void operator()(unsigned char* bytes) const { std::free(bytes); }
};
// A map's byte block; CImageMap releases its m_pData with ReleaseMapBytes.
using MapBytes = std::unique_ptr<unsigned char[], MapBytesDeleter>;

// A block of bytes bytes (at least one, so that an empty map still has a block). zeroed:
// every byte 0, from calloc, whose large blocks are pages the system hands out zeroed, so
// that no pass over them is made before the map is used; otherwise the content is
// undefined. Throws std::bad_alloc.
MapBytes AllocateMapBytes(size_t bytes, bool zeroed);

// Releases a block of AllocateMapBytes (null is allowed) and clears the pointer.
inline void ReleaseMapBytes(unsigned char*& bytes) {
  std::free(bytes);
  bytes = nullptr;
}

}  // namespace vorlane::detail
