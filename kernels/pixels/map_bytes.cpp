// Allocation of the byte blocks of image maps.
#include "kernels/pixels/map_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/copy.h"

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

// Whether bytes is the start of a block of MapZeroedBlock.
bool IsMappedBlock(const unsigned char* bytes) {
  MappedBlocks& mapped = Mapped();
  const std::lock_guard lock(mapped.mutex);
  return mapped.lengths.contains(const_cast<unsigned char*>(bytes));
}

// For each block of blockBytes (a multiple of the page size) of [bytes, bytes + count),
// whether the system has never given it a page: no page present and none swapped out. Such
// a block of a private anonymous mapping reads as zeros. Empty when the system does not say.
std::vector<bool> UntouchedBlocks(const unsigned char* bytes, size_t count, size_t blockBytes) {
  const auto pageBytes = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const auto address = reinterpret_cast<uintptr_t>(bytes);
  if (pageBytes == 0 || blockBytes % pageBytes != 0 || address % pageBytes != 0) return {};
  const size_t pages = (count + pageBytes - 1) / pageBytes;
  std::vector<uint64_t> entries(pages);
  const int fd = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  constexpr uint64_t kPresent = uint64_t{1} << 63, kSwapped = uint64_t{1} << 62;
  // The report is trusted only if it shows as present a page known to be: the stack page of
  // a variable just written.
  volatile unsigned char here = 1;
  uint64_t probe = 0;
  const auto hereAddress = reinterpret_cast<uintptr_t>(&here);
  if (pread(fd, &probe, sizeof probe, static_cast<off_t>(hereAddress / pageBytes * sizeof probe)) !=
          static_cast<ssize_t>(sizeof probe) ||
      !(probe & kPresent)) {
    close(fd);
    return {};
  }
  const size_t wanted = pages * sizeof(uint64_t);
  size_t got = 0;
  while (got < wanted) {
    const ssize_t n = pread(fd, reinterpret_cast<char*>(entries.data()) + got, wanted - got,
                            static_cast<off_t>(address / pageBytes * sizeof(uint64_t) + got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (got < wanted) return {};
  const size_t pagesPerBlock = blockBytes / pageBytes;
  std::vector<bool> untouched((pages + pagesPerBlock - 1) / pagesPerBlock, true);
  for (size_t page = 0; page < pages; ++page) {
    if (entries[page] & (kPresent | kSwapped)) untouched[page / pagesPerBlock] = false;
  }
  return untouched;
}

}  // namespace

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
  // A page-sized source is looked at in blocks of 64 KiB first: where each block's first
  // non-zero line is (blocks of a mapped source that the system never gave pages are zero
  // without a look). When at most half of the blocks hold anything (a map nobody has
  // written, or has written in a few places), the copy is made of fresh zeroed pages and
  // only those blocks are written, from their first non-zero line on. Any other source is
  // copied whole into a block from the heap, whose reused memory costs no page faults.
  constexpr size_t kBlock = size_t{1} << 16;
  const size_t blocks = (bytes + kBlock - 1) / kBlock;
  const auto heapCopy = [&] {
    MapBytes copy = AllocateMapBytes(bytes, false);
    if (bytes > 0) CopyBytes(copy.get(), source, bytes);
    return copy;
  };
  if (bytes < kMappedFrom || !HugePagesOnRequest() || blocks > static_cast<size_t>(INT_MAX)) {
    return heapCopy();
  }
  const std::vector<bool> untouched =
      IsMappedBlock(source) ? UntouchedBlocks(source, bytes, kBlock) : std::vector<bool>();
  std::vector<size_t> firstNonZero(blocks);
  const auto blockBytes = [&](size_t block) { return std::min(bytes - block * kBlock, kBlock); };
  const auto work = static_cast<std::int64_t>(bytes) / 4;
  ForEachRowBand(0, static_cast<int>(blocks), work, [&](int first, int last) {
    for (auto block = static_cast<size_t>(first); block < static_cast<size_t>(last); ++block) {
      const bool skipped = untouched.size() == blocks && untouched[block];
      firstNonZero[block] = skipped ? blockBytes(block)
                                    : FirstNonZeroLine(source + block * kBlock, blockBytes(block));
    }
  });
  size_t written = 0;
  for (size_t block = 0; block < blocks; ++block)
    written += firstNonZero[block] < blockBytes(block);
  if (2 * written > blocks) return heapCopy();
  MapBytes copy = AllocateMapBytes(bytes, true);
  if (!IsMappedBlock(copy.get())) {
    CopyBytes(copy.get(), source, bytes);  // no fresh pages: a cleared heap block
    return copy;
  }
  if (written == 0) return copy;
  unsigned char* target = copy.get();
  ForEachRowBand(0, static_cast<int>(blocks), work, [&](int first, int last) {
    for (auto block = static_cast<size_t>(first); block < static_cast<size_t>(last); ++block) {
      const size_t begin = block * kBlock + firstNonZero[block],
                   end = block * kBlock + blockBytes(block);
      if (begin < end) std::memcpy(target + begin, source + begin, end - begin);
    }
  });
  return copy;
}

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
