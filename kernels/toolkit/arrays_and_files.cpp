// Growth of the toolkit's point arrays and opening of its text trace files.
#include "kernels/toolkit/arrays_and_files.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace vorlane::detail {

int GrownCapacity(int capacity, int growBy) {
  const std::int64_t step = std::max<std::int64_t>({growBy, 1, capacity / 2});
  return static_cast<int>(std::min<std::int64_t>(capacity + step, INT_MAX));
}

UniqueFile OpenTextFileForWriting(const wchar_t* path) {
  if (!path || !*path) return nullptr;
  // Encode each code point as UTF-8 for the system's file name.
  std::string name;
  for (const wchar_t* p = path; *p; ++p) {
    const auto c = static_cast<std::uint32_t>(*p);
    if (c < 0x80) {
      name += static_cast<char>(c);
    } else if (c < 0x800) {
      name += static_cast<char>(0xC0 | (c >> 6));
      name += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      name += static_cast<char>(0xE0 | (c >> 12));
      name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      name += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      name += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
      name += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      name += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return UniqueFile(std::fopen(name.c_str(), "w"));
}

}  // namespace vorlane::detail
