// The body of the page-file fuzz targets: each input is read as a page file of one kind
// (PNG and JPEG from memory, TIFF through a file, every page); pages that load have their
// size and pixels, and small ones go out as compact TIFF and must come back the same.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "scratch_file.h"
#include "vorlane/io/jpeg_reader.h"
#include "vorlane/io/pages.h"
#include "vorlane/io/png_reader.h"
#include "vorlane/io/tiff_export.h"

namespace fuzzing {

// Pages up to this many pixels are written as compact TIFF and read back.
constexpr long kRoundTripPixels = 64 * 1024;
// Pictures claiming more pixels than this (but not beyond the library's size limit, which is
// refused before decoding) are skipped: a few bytes can claim a legitimate huge picture that
// takes long to decode under the sanitizers.
constexpr uint64_t kMaxPixels = uint64_t{1} << 22;

inline bool Modest(const vorlane::PageInfo& info) {
  const uint64_t pixels =
      uint64_t(info.width > 0 ? info.width : 0) * uint64_t(info.height > 0 ? info.height : 0);
  return pixels <= kMaxPixels || pixels > (uint64_t{1} << 30);
}

// Checks a loaded page and its compact TIFF; traps on any fault.
inline void CheckPage(CImage& image) {
  if (image.GetWidth() <= 0 || image.GetHeight() <= 0) __builtin_trap();
  const auto view = vorlane::detail::FormatAccess::View(&image);
  if (!view.HasPixels()) __builtin_trap();
  if (static_cast<long>(image.GetWidth()) * image.GetHeight() > kRoundTripPixels) return;
  static ScratchFile output;
  const bool bits = view.format == vorlane::detail::PixelFormat::kBiLevel;
  std::string error;
  if (!vorlane::ExportTiff(image, output.path(),
                           {bits ? vorlane::TiffCompression::g4 : vorlane::TiffCompression::lzw, 0},
                           error))
    __builtin_trap();
  vorlane::LoadedImage back = vorlane::LoadPage(output.path());
  if (!back.image) __builtin_trap();
  const auto again = vorlane::detail::FormatAccess::View(back.image.get());
  if (again.format != view.format || again.width != view.width || again.height != view.height)
    __builtin_trap();
  const size_t bytes =
      static_cast<size_t>(view.width) * (bits ? 1 : vorlane::detail::BytesPerPixel(view.format));
  for (int y = 0; y < view.height; ++y) {
    if (view.format == vorlane::detail::PixelFormat::kHiColour) {
      for (int x = 0; x < view.width; ++x)
        if (std::memcmp(view.rows[y] + 4 * x, again.rows[y] + 4 * x, 3) != 0) __builtin_trap();
    } else if (std::memcmp(view.rows[y], again.rows[y], bytes) != 0) {
      __builtin_trap();
    }
  }
}

enum class Kind { png, jpeg, tiff };

template <Kind kind>
int FuzzPageFile(const uint8_t* data, size_t size) {
  vorlane::PageInfo info;
  std::string error;
  if constexpr (kind == Kind::png || kind == Kind::jpeg) {
    const bool read = kind == Kind::png ? vorlane::ReadPngInfo(data, size, info, error)
                                        : vorlane::ReadJpegInfo(data, size, info, error);
    if (!read || !Modest(info)) return 0;
    vorlane::LoadedImage page = kind == Kind::png ? vorlane::DecodePng(data, size, L"fuzz")
                                                  : vorlane::DecodeJpeg(data, size, L"fuzz");
    if (page.image)
      CheckPage(*page.image);
    else if (page.error.empty())
      __builtin_trap();
  } else {
    static ScratchFile input;
    input.Fill(data, size);
    vorlane::OpenedPages opened = vorlane::OpenPages(input.path());
    if (!opened.source) {
      if (opened.error.empty()) __builtin_trap();
      return 0;
    }
    for (int i = 0; i < opened.source->Count() && i < 4; ++i) {
      if (!Modest(opened.source->Info(i))) continue;
      vorlane::LoadedImage page = opened.source->Load(i);
      if (page.image)
        CheckPage(*page.image);
      else if (page.error.empty())
        __builtin_trap();
    }
  }
  return 0;
}

}  // namespace fuzzing
