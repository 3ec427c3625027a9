// Names for files written beside their final name.
#include "kernels/io/temporary_name.h"

#include <unistd.h>

#include <atomic>
#include <string>

namespace vorlane::detail {

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& finalPath) {
  static std::atomic<unsigned> counter{0};
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about chained string additions.
  std::string name = ".";
  name += finalPath.filename().string();
  name += '.';
  name += std::to_string(::getpid());
  name += '.';
  name += std::to_string(counter++);
  name += ".tmp";
  return finalPath.parent_path() / name;
}

}  // namespace vorlane::detail
