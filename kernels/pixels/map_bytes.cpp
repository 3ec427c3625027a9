// Allocation of the byte blocks of image maps.
#include "kernels/pixels/map_bytes.h"

#include <new>

namespace vorlane::detail {

MapBytes AllocateMapBytes(size_t bytes, bool zeroed) {
  const size_t size = bytes > 0 ? bytes : 1;
  void* block = zeroed ? std::calloc(size, 1) : std::malloc(size);
  if (!block) throw std::bad_alloc();
  return MapBytes(static_cast<unsigned char*>(block));
}

}  // namespace vorlane::detail
