// Allocation and release of pixel buffers and line tables.
#include "kernels/pixels/pixel_arrays.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "platform/internal/page_blocks.h"

namespace vorlane::detail {

PixelArrays AllocatePixelArrays(int bytesPerLine, int height) {
  const size_t bytes = static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
  // At least one element each, so that an empty image still has distinct, valid arrays.
  auto lines = std::make_unique_for_overwrite<unsigned char*[]>(height > 0 ? height : 1);
  if (bytes >= kPageBlockFrom) {
    unsigned char* data = TakePageBlock(bytes);
    if (!data) throw std::bad_alloc();
    return PixelArrays{data, lines.release()};
  }
  auto data = std::make_unique_for_overwrite<unsigned char[]>(bytes > 0 ? bytes : 1);
  return PixelArrays{data.release(), lines.release()};
}

bool PagesInMemory(const unsigned char* data, size_t bytes) {
  static const long pageSize = sysconf(_SC_PAGESIZE);
  if (!data || bytes == 0 || pageSize <= 0) return false;
  const auto page = static_cast<uintptr_t>(pageSize);
  const uintptr_t middle = (reinterpret_cast<uintptr_t>(data) + bytes / 2) / page * page;
  unsigned char resident = 0;
  return mincore(reinterpret_cast<void*>(middle), 1, &resident) == 0 && (resident & 1) != 0;
}

void FreePixelArrays(unsigned char*& data, unsigned char**& lines) {
  if (!ReturnPageBlock(data)) delete[] data;
  delete[] lines;
  data = nullptr;
  lines = nullptr;
}

}  // namespace vorlane::detail
