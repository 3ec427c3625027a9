// Page-sized blocks: mappings in whole huge pages, populated when made, and a bounded list of
// released ones kept for reuse.
#include "platform/internal/page_blocks.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLANE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VORLANE_ASAN 1
#endif
#ifdef VORLANE_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace vorlane::detail {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Kept blocks: at most this many bytes and blocks (an A4 colour page is 35 MB; a road keeps
// a page, its copy, a destination and their maps).
constexpr size_t kKeptBytes = size_t{256} << 20;
constexpr size_t kKeptBlocks = 12;

// Marks [block, block + bytes) as not to be touched (kept blocks, the slack past a request)
// or as usable again, for the address sanitizer; nothing otherwise.
void Poison(unsigned char* block, size_t bytes) {
#ifdef VORLANE_ASAN
  ASAN_POISON_MEMORY_REGION(block, bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

void Unpoison(unsigned char* block, size_t bytes) {
#ifdef VORLANE_ASAN
  ASAN_UNPOISON_MEMORY_REGION(block, bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

struct Kept {
  unsigned char* block;
  size_t length;
};

struct Blocks {
  Blocks() { kept.reserve(kKeptBlocks); }  // so that keeping a block never allocates
  std::mutex mutex;
  std::unordered_map<const unsigned char*, size_t> taken;  // block -> mapped length
  std::vector<Kept> kept;                                  // oldest first
  size_t keptBytes = 0;
};

// Blocks to give back to the system once the lock is released.
struct Unmapping {
  Kept blocks[kKeptBlocks + 1];
  size_t count = 0;
  void Add(const Kept& k) { blocks[count++] = k; }
  ~Unmapping() {
    for (size_t i = 0; i < count; ++i) {
      Unpoison(blocks[i].block, blocks[i].length);
      munmap(blocks[i].block, blocks[i].length);
    }
  }
};

Blocks& AllBlocks() {
  static Blocks* blocks = new Blocks;  // lives to the end of the process
  return *blocks;
}

// A new zeroed mapping of length bytes (a multiple of kHugePage) starting on a huge-page
// boundary, offered as huge pages and populated, or null.
unsigned char* MapBlock(size_t length) {
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
  // Every page present now: the faults are paid here, in one pass of the system, and not
  // one by one in the operation that first writes the block. A system without the request
  // leaves the pages to first touch.
#ifdef MADV_POPULATE_WRITE
  madvise(block, length, MADV_POPULATE_WRITE);
#endif
  return static_cast<unsigned char*>(block);
}

}  // namespace

unsigned char* TakePageBlock(size_t bytes, bool* fresh) {
  if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
  const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  Blocks& blocks = AllBlocks();
  {
    const std::lock_guard lock(blocks.mutex);
    // The smallest kept block that holds bytes and wastes at most half of them.
    auto best = blocks.kept.end();
    for (auto it = blocks.kept.begin(); it != blocks.kept.end(); ++it) {
      if (it->length >= length && it->length - length <= bytes / 2 &&
          (best == blocks.kept.end() || it->length < best->length)) {
        best = it;
      }
    }
    if (best != blocks.kept.end()) {
      const Kept found = *best;
      try {
        blocks.taken.emplace(found.block, found.length);
      } catch (...) {
        return nullptr;  // the block stays kept
      }
      blocks.kept.erase(best);
      blocks.keptBytes -= found.length;
      Unpoison(found.block, bytes);
      if (fresh) *fresh = false;
      return found.block;
    }
  }
  unsigned char* block = MapBlock(length);
  if (!block) return nullptr;
  try {
    const std::lock_guard lock(blocks.mutex);
    blocks.taken.emplace(block, length);
  } catch (...) {
    munmap(block, length);
    return nullptr;
  }
  Poison(block + bytes, length - bytes);
  if (fresh) *fresh = true;
  return block;
}

bool IsPageBlock(const unsigned char* block) {
  if (!block) return false;
  Blocks& blocks = AllBlocks();
  const std::lock_guard lock(blocks.mutex);
  return blocks.taken.contains(block);
}

bool ReturnPageBlock(unsigned char* block) {
  if (!block) return false;
  Blocks& blocks = AllBlocks();
  Unmapping unmap;  // declared before the lock: unmaps after it is released
  const std::lock_guard lock(blocks.mutex);
  const auto found = blocks.taken.find(block);
  if (found == blocks.taken.end()) return false;
  const Kept returned{block, found->second};
  blocks.taken.erase(found);
  if (returned.length > kKeptBytes) {
    unmap.Add(returned);
    return true;
  }
  // Make room: the oldest kept blocks go first.
  size_t drop = 0;
  while (drop < blocks.kept.size() && (blocks.keptBytes + returned.length > kKeptBytes ||
                                       blocks.kept.size() - drop >= kKeptBlocks)) {
    blocks.keptBytes -= blocks.kept[drop].length;
    unmap.Add(blocks.kept[drop]);
    ++drop;
  }
  blocks.kept.erase(blocks.kept.begin(), blocks.kept.begin() + static_cast<ptrdiff_t>(drop));
  blocks.kept.push_back(returned);
  blocks.keptBytes += returned.length;
  Poison(returned.block, returned.length);
  return true;
}

void ReleaseKeptPageBlocks() {
  Blocks& blocks = AllBlocks();
  Unmapping unmap;
  const std::lock_guard lock(blocks.mutex);
  for (const Kept& k : blocks.kept) unmap.Add(k);
  blocks.kept.clear();
  blocks.keptBytes = 0;
}

}  // namespace vorlane::detail
