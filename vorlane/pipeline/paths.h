// File names and library strings: UTF-8 paths to the library's wide strings and back.
#pragma once

#include <filesystem>
#include <string>

namespace vorlane::pipeline {

// The wide (UTF-32) form of a UTF-8 path; invalid bytes become U+FFFD.
std::wstring WidePath(const std::filesystem::path& path);

// The UTF-8 form of a wide string (null gives an empty string).
std::string Utf8(const wchar_t* s);

}  // namespace vorlane::pipeline
