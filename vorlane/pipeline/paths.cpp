// UTF-8 path conversion.
#include "vorlane/pipeline/paths.h"

#include "platform/utf8.h"

namespace vorlane::pipeline {

std::wstring WidePath(const std::filesystem::path& path) {
  return vorlane::WideFromUtf8(path.native());
}

std::string Utf8(const wchar_t* s) { return vorlane::Utf8(s); }

}  // namespace vorlane::pipeline
