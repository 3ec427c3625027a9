// Names for files written beside their final name and renamed into place when complete.
#pragma once

#include <filesystem>

namespace vorlane::detail {

// A name for a temporary file in the folder of finalPath: ".NAME.PID.N.tmp", N counting the
// names given in this process, so that threads and processes writing side by side never
// share one. Being in the same folder keeps the final rename on one file system. finalPath
// must name a file (have a file name).
std::filesystem::path TemporaryNameBeside(const std::filesystem::path& finalPath);

}  // namespace vorlane::detail
