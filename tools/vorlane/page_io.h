// Loading pages for the tool, with one readable reason when a file cannot be used, and the
// conversion of file names to the library's wide strings.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class CImage;

namespace vorlane::cli {

// The wide (UTF-32) form of a UTF-8 path; invalid bytes become U+FFFD.
std::wstring WidePath(const std::filesystem::path& path);

// The UTF-8 form of a wide string (null gives an empty string).
std::string Utf8(const wchar_t* s);

// True for the kinds of file the tool reads: .tif, .tiff and .vlx in any case.
bool IsPageFile(const std::filesystem::path& path);

struct LoadedPage {
  std::unique_ptr<CImage> image;
  std::string
      error;  // why image is null: "no such file", "not a TIFF image the library reads", ...
};

// Loads a TIFF file or an archive. Never throws: every failure comes back as error.
LoadedPage LoadPage(const std::filesystem::path& path);

// The name of a page's pixel format: "bi-level", "greyscale", "palette", "colour".
const char* FormatName(const CImage& image);

}  // namespace vorlane::cli
