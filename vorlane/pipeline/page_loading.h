// Loading a page of a page file, with one readable reason when it cannot be used.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class CImage;

namespace vorlane::pipeline {

// True for the kinds of file the pipeline reads, by name: .tif, .tiff, .png, .jpg, .jpeg and
// .vlx in any case (the reader is chosen by the content).
bool IsPageFile(const std::filesystem::path& path);

// True for a page archive: .vlx in any case.
bool IsArchiveFile(const std::filesystem::path& path);

struct LoadedPage {
  std::unique_ptr<CImage> image;
  std::string error;  // why image is null: "no such file", "damaged PNG: ...", ...
  int pageCount = 0;  // pages of the file, when it could be opened
};

// Loads page pageIndex (from 0) of a TIFF, PNG, JPEG or archive file. Never throws: every
// failure comes back as error. The one place where a file becomes a page.
LoadedPage LoadPage(const std::filesystem::path& path, int pageIndex = 0);

}  // namespace vorlane::pipeline
