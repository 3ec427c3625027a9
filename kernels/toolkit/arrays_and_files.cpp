// Growth of the toolkit's point arrays and opening of its text trace files.
#include "kernels/toolkit/arrays_and_files.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "platform/utf8.h"

namespace vorlane::detail {

int GrownCapacity(int capacity, int growBy) {
  const std::int64_t step = std::max<std::int64_t>({growBy, 1, capacity / 2});
  return static_cast<int>(std::min<std::int64_t>(capacity + step, INT_MAX));
}

UniqueFile OpenTextFileForWriting(const wchar_t* path) {
  if (!path || !*path) return nullptr;
  // The system's file name in UTF-8; a path with a value that is no character is refused, as
  // every file name of the library is.
  std::string name;
  if (!WideToUtf8(path, name)) return nullptr;
  return UniqueFile(std::fopen(name.c_str(), "w"));
}

}  // namespace vorlane::detail
