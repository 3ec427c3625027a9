// Pages from files of several kinds: every page of a TIFF file, a PNG or JPEG picture, or
// the image of an archive (.vlx), loaded into the library's own image classes. The kind of
// file is told by its content (its first bytes), not by its name; an archive is the one kind
// told by its name (.vlx), as ImgLoadFromFile reads it. Nothing here throws: every failure
// comes back as a message.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class CImage;

namespace vorlane {

enum class PageFileKind { unknown, tiff, png, jpeg, archive };

// What a page holds, from the file's header, without decoding its pixels.
struct PageInfo {
  int width = 0;
  int height = 0;
  int bitsPerSample = 0;    // as the file stores them (PNG palette files: the index bits)
  int samplesPerPixel = 0;  // as the file stores them, alpha included
  // The image class the page loads as: "bi-level", "greyscale" or "colour"; empty when the
  // page is of a kind that is not read.
  std::string format;
  // "none", "ccitt-rle", "g3", "g4", "lzw", "jpeg", "deflate", "packbits", ... for TIFF
  // pages ("compression N" for others), "png" and "jpeg" for those files, "archive".
  std::string compression;
  // The resolution in dots per inch (rounded; centimetre units converted), 0 for none.
  int dpiX = 0;
  int dpiY = 0;
};

// A loaded page: image, or null with the reason in error.
struct LoadedImage {
  std::unique_ptr<CImage> image;
  std::string error;
};

// The pages of one open file. Load may be called for any page, in any order and more than
// once; each call makes a new image that the caller owns. A page that cannot be decoded
// gives its error and leaves the other pages readable. One source is used by one thread at
// a time.
class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual PageFileKind Kind() const = 0;
  // The number of pages (TIFF files: the directories that are not reduced-resolution
  // subfiles such as thumbnails; the other kinds: 1).
  virtual int Count() const = 0;
  // The facts of page index (0 to Count() - 1); empty facts for an index outside.
  virtual const PageInfo& Info(int index) const = 0;
  // Loads page index into a new image named after the file's path. Bi-level pages become
  // CBiLevelImage (1 white, 0 black), grey ones CGreyScaleImage, colour ones CHiColorImage;
  // the file's resolution is the image's (SetDPI), else the image keeps the default of new
  // images.
  virtual LoadedImage Load(int index) = 0;
};

struct OpenedPages {
  std::unique_ptr<PageSource> source;  // null when the file cannot be used; then error says why
  std::string error;
};

// The kind that the name of path claims, by its extension in any case: .tif and .tiff,
// .png, .jpg and .jpeg, .vlx; unknown for any other.
PageFileKind PageFileKindByName(const std::filesystem::path& path);

// The kind of the file at path by its first bytes (an archive by its .vlx name when the
// content is none of the others); unknown when it cannot be read or is of no known kind.
PageFileKind DetectPageFileKind(const std::filesystem::path& path);

// Opens the file at path and reads the facts of its pages. Errors: "no such file", "is a
// folder, not a page", "cannot be read", "unsupported kind of file", "damaged ..." and the
// like.
OpenedPages OpenPages(const std::filesystem::path& path);

// The number of pages of the file at path without reading its pixels or, for the kinds of
// one picture, more than its first bytes; 0 with the reason in error when it cannot be
// opened (OpenPages gives the same error).
int CountPages(const std::filesystem::path& path, std::string& error);

// Opens the file and loads one page (OpenPages, then Load).
LoadedImage LoadPage(const std::filesystem::path& path, int pageIndex = 0);

}  // namespace vorlane
