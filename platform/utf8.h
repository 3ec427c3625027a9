// Conversions between wide (UTF-32) strings and UTF-8, for file names, trace lines and the
// terminal, and UTF-16, for the strings of archives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorlane {

// Replaces out by the UTF-8 form of s. A value that is no Unicode scalar (a surrogate or a
// value beyond U+10FFFF) is written as U+FFFD and makes the result false; a null s gives ""
// and false.
bool WideToUtf8(const wchar_t* s, std::string& out);

// The UTF-8 form of s by the rule of WideToUtf8, without telling whether it was exact.
std::string Utf8(const wchar_t* s);

// The wide form of the UTF-8 bytes s. A well-formed sequence (shortest form, a Unicode scalar
// value) gives its character. Any other byte, that is a byte that does not begin a
// well-formed sequence (a stray continuation byte, a lead byte of an overlong, truncated or
// surrogate sequence, or of a value beyond U+10FFFF, bytes C0, C1, F5..FF), gives one U+FFFD,
// and decoding resumes at the next byte. So an encoded surrogate (ED A0..BF xx) gives three.
std::wstring WideFromUtf8(std::string_view s);

// The UTF-16 code units of text[0..length): characters beyond the BMP become surrogate pairs,
// values beyond U+10FFFF become U+FFFD.
std::u16string Utf16Units(const wchar_t* text, size_t length);

// The wide form of count little-endian UTF-16 units at bytes (2 * count bytes): surrogate
// pairs are joined, unpaired surrogates become U+FFFD.
std::wstring WideFromUtf16Le(const unsigned char* bytes, size_t count);

}  // namespace vorlane
