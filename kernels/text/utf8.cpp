// UTF-8 encoding of wide strings.
#include "kernels/text/utf8.h"

namespace vorlane::detail {
namespace {

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool WideToUtf8(const wchar_t* s, std::string& out) {
  out.clear();
  if (!s) return false;
  bool valid = true;
  for (; *s; ++s) {
    const auto c = static_cast<char32_t>(*s);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      valid = false;
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(c, out);
    }
  }
  return valid;
}

}  // namespace vorlane::detail
