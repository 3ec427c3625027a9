// UTF-8 and UTF-16 encoding and decoding of wide strings.
#include "platform/utf8.h"

#include <cstdint>

namespace vorlane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

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

// Whether a well-formed sequence begins at s[i] (i < s.size()); if so its character goes to
// code and its length in bytes to length.
bool DecodeAt(std::string_view s, size_t i, char32_t& code, int& length) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
  if (extra < 0 || s.size() - i <= static_cast<size_t>(extra)) return false;
  code = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
    if ((next & 0xC0) != 0x80) return false;
    code = (code << 6) | (next & 0x3F);
  }
  // The shortest form only: the smallest value each length may carry.
  static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  if (code < kLeast[extra] || !IsScalar(code)) return false;
  length = extra + 1;
  return true;
}

}  // namespace

bool WideToUtf8(const wchar_t* s, std::string& out) {
  out.clear();
  if (!s) return false;
  bool valid = true;
  for (; *s; ++s) {
    const auto c = static_cast<char32_t>(*s);
    if (!IsScalar(c)) {
      valid = false;
      AppendUtf8(kReplacement, out);
    } else {
      AppendUtf8(c, out);
    }
  }
  return valid;
}

std::string Utf8(const wchar_t* s) {
  std::string out;
  WideToUtf8(s, out);
  return out;
}

std::wstring WideFromUtf8(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t code = 0;
    int length = 0;
    if (!DecodeAt(s, i, code, length)) {
      code = kReplacement;
      length = 1;
    }
    out.push_back(static_cast<wchar_t>(code));
    i += static_cast<size_t>(length);
  }
  return out;
}

std::u16string Utf16Units(const wchar_t* text, size_t length) {
  std::u16string units;
  units.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<uint32_t>(text[i]);
    if (c <= 0xFFFF) {
      units += static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      units += static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF));
    } else {
      units += u'\uFFFD';
    }
  }
  return units;
}

std::wstring WideFromUtf16Le(const unsigned char* bytes, size_t count) {
  const auto unit = [bytes](size_t i) -> uint32_t {
    return bytes[2 * i] | (static_cast<uint32_t>(bytes[2 * i + 1]) << 8);
  };
  std::wstring text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
      const uint32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    text += (u >= 0xD800 && u <= 0xDFFF) ? L'\uFFFD' : static_cast<wchar_t>(u);
  }
  return text;
}

}  // namespace vorlane
