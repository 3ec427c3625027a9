// Conversion of wide (UTF-32) strings to UTF-8 for the operating system and the terminal.
#pragma once

#include <string>

namespace vorlane::detail {

// Replaces out by the UTF-8 form of s. A value that is no Unicode scalar (a surrogate or a
// value beyond U+10FFFF) is written as U+FFFD and makes the result false; a null s gives ""
// and false.
bool WideToUtf8(const wchar_t* s, std::string& out);

}  // namespace vorlane::detail
