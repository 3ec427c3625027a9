// Helpers shared by the analysis toolkit classes: growth of point arrays and text trace files.
#pragma once

#include <cstdio>
#include <memory>

namespace vorlane::detail {

// Capacity after growing a full point array of capacity `capacity` (>= 0) by the class's
// growth step `growBy`. The step is a lower bound: the array grows by at least half its
// capacity, so that n appends cost O(n) copies in total instead of O(n^2 / growBy).
// Saturates at INT_MAX; a result equal to `capacity` means the array cannot grow.
int GrownCapacity(int capacity, int growBy);

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` (a wide path, handed to the system as UTF-8) for writing as text, replacing
// any earlier file. Null when the path is null or empty, holds a value that is no Unicode
// scalar (see WideToUtf8) or the file cannot be opened.
UniqueFile OpenTextFileForWriting(const wchar_t* path);

}  // namespace vorlane::detail
