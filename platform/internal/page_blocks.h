// Page-sized blocks: the pixel buffers and map bytes of pages, mapped from the system in
// whole huge pages, with every page present before the block is handed out, and kept after
// release for the next buffer of about the same size. A host that makes a new image for
// every page so pays for fresh pages once, not for every page, and no first touch of a
// buffer costs page faults in the operation that follows.
#pragma once

#include <cstddef>

namespace vorlane::detail {

// Buffers from this size on are page blocks; smaller ones come from the heap.
inline constexpr size_t kPageBlockFrom = size_t{1} << 20;

// A block of at least bytes bytes (bytes >= kPageBlockFrom), or null when the system gives
// none. A kept block is reused when it is at most half as large again as needed; its content
// is what its last user left. A new block reads as zeros; fresh is then set when not null.
unsigned char* TakePageBlock(size_t bytes, bool* fresh = nullptr);

// Whether block is a block of TakePageBlock that has not been returned.
bool IsPageBlock(const unsigned char* block);

// Takes back a block of TakePageBlock: it is kept for reuse while the kept blocks stay within
// a bound (the oldest are given back to the system first), else given back. False, with
// nothing done, when block is not a page block (null included).
bool ReturnPageBlock(unsigned char* block);

// Gives every kept block back to the system.
void ReleaseKeptPageBlocks();

}  // namespace vorlane::detail
