// Loading a page file, with one readable reason when the file cannot be used.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class CImage;

namespace vorlane::pipeline {

// True for the kinds of file the pipeline reads: .tif, .tiff and .vlx in any case.
bool IsPageFile(const std::filesystem::path& path);

// True for a page archive: .vlx in any case.
bool IsArchiveFile(const std::filesystem::path& path);

struct LoadedPage {
  std::unique_ptr<CImage> image;
  std::string
      error;  // why image is null: "no such file", "not a TIFF image the library reads", ...
};

// Loads the page of a TIFF file or an archive. Never throws: every failure comes back as
// error. The one place where a file becomes a page.
LoadedPage LoadPage(const std::filesystem::path& path);

}  // namespace vorlane::pipeline
