// Allocation of the byte blocks of image maps.
#include "kernels/pixels/map_bytes.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace vorlane::detail {
namespace {

// Zeroed blocks from this size on are mapped from the system rather than taken from the
// heap, where calloc would have to clear a reused block. They are aligned to 2 MiB and
// offered to the system as huge pages, so that touching them costs few page faults.
constexpr size_t kMappedFrom = size_t{2} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

// Whether the system gives huge pages to mappings that ask for them. Without them every
// 4 KiB page of a fresh mapping costs a fault, slower than calloc clearing a reused block.
bool HugePagesOnRequest() {
  static const bool available = [] {
    std::FILE* file = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
    if (!file) return false;
    char setting[128] = {};
    const bool read = std::fgets(setting, sizeof setting, file) != nullptr;
    std::fclose(file);
    // The chosen setting is the one in brackets: "always [madvise] never".
    return read && (std::strstr(setting, "[always]") || std::strstr(setting, "[madvise]"));
  }();
  return available;
}

// Mapped blocks and their mapped lengths; released blocks not found here came from the heap.
struct MappedBlocks {
  std::mutex mutex;
  std::unordered_map<void*, size_t> lengths;
};

MappedBlocks& Mapped() {
  static MappedBlocks* blocks = new MappedBlocks;  // lives to the end of the process
  return *blocks;
}

// A fresh zeroed mapping of at least bytes bytes starting on a huge-page boundary, or null.
void* MapZeroedBlock(size_t bytes) {
  const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  const size_t reserved = length + kHugePage;
  void* raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  // Keep the aligned part; give back what lies before and after it.
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + reserved;
  if (end > aligned + length)
    munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(block, length, MADV_HUGEPAGE);
#endif
  try {
    MappedBlocks& mapped = Mapped();
    const std::lock_guard lock(mapped.mutex);
    mapped.lengths.emplace(block, length);
  } catch (...) {
    munmap(block, length);
    return nullptr;
  }
  return block;
}

}  // namespace

MapBytes AllocateMapBytes(size_t bytes, bool zeroed) {
  const size_t size = bytes > 0 ? bytes : 1;
  if (zeroed && size >= kMappedFrom && HugePagesOnRequest()) {
    if (void* block = MapZeroedBlock(size)) return MapBytes(static_cast<unsigned char*>(block));
  }
  void* block = zeroed ? std::calloc(size, 1) : std::malloc(size);
  if (!block) throw std::bad_alloc();
  return MapBytes(static_cast<unsigned char*>(block));
}

void FreeMapBytes(unsigned char* bytes) {
  if (!bytes) return;
  {
    MappedBlocks& mapped = Mapped();
    const std::lock_guard lock(mapped.mutex);
    const auto found = mapped.lengths.find(bytes);
    if (found != mapped.lengths.end()) {
      munmap(found->first, found->second);
      mapped.lengths.erase(found);
      return;
    }
  }
  std::free(bytes);
}

}  // namespace vorlane::detail
