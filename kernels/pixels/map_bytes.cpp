// Allocation of the byte blocks of image maps.
#include "kernels/pixels/map_bytes.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kernels/pixels/copy.h"
#include "platform/internal/page_blocks.h"

namespace vorlane::detail {

size_t FirstNonZeroLine(const unsigned char* bytes, size_t count) {
  constexpr size_t kLine = 64;
  size_t offset = 0;
  for (; offset + kLine <= count; offset += kLine) {
    uint64_t words[kLine / 8];
    std::memcpy(words, bytes + offset, kLine);
    uint64_t any = 0;
    for (const uint64_t word : words) any |= word;
    if (any != 0) return offset;
  }
  for (size_t i = offset; i < count; ++i) {
    if (bytes[i] != 0) return offset;
  }
  return count;
}

MapBytes CopyMapBytes(const unsigned char* source, size_t bytes) {
  MapBytes copy = AllocateMapBytes(bytes, false);
  if (bytes > 0) CopyBytes(copy.get(), source, bytes);
  return copy;
}

MapBytes AllocateMapBytes(size_t bytes, bool zeroed) {
  const size_t size = bytes > 0 ? bytes : 1;
  if (size >= kPageBlockFrom) {
    bool fresh = false;
    unsigned char* block = TakePageBlock(size, &fresh);
    if (!block) throw std::bad_alloc();
    if (zeroed && !fresh) FillBytes(block, 0, size);
    return MapBytes(block);
  }
  void* block = zeroed ? std::calloc(size, 1) : std::malloc(size);
  if (!block) throw std::bad_alloc();
  return MapBytes(static_cast<unsigned char*>(block));
}

void FreeMapBytes(unsigned char* bytes) {
  if (!ReturnPageBlock(bytes)) std::free(bytes);
}

}  // namespace vorlane::detail
