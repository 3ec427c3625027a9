// Conversions between wide (UTF-32) strings and UTF-8, for file names, trace lines and the
// terminal.
#pragma once

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

}  // namespace vorlane
