// Rendering of the PNG views: through the library's display bitmaps, or straight from the
// pixels and components as the display bitmaps would show them.
#include "vorlane/pipeline/views.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "imageclasses/comp.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/display/rotating_colours.h"
#include "kernels/display/thumbnail.h"
#include "kernels/display/transfer.h"
#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/map_bytes.h"
#include "kernels/png/png_encoder.h"
#include "kernels/png/png_file.h"
#include "platform/platform.h"
#include "vorlane/png.h"

namespace vorlane::pipeline {
namespace {

using namespace vorlane::detail;

bool CopyBitmap(const CBitmap& source, CBitmap& target) {
  if (source.Width() <= 0 || source.Height() <= 0 || !source.Pixels()) return false;
  if (!target.CreateBitmap(source.Width(), source.Height(), 1, 32, source.Pixels())) return false;
  return target.Pixels() != nullptr;
}

struct BitmapInfoDeleter {
  void operator()(BITMAPINFO* info) const { ReleaseBitmapInfo(info); }
};
using BitmapInfo = std::unique_ptr<BITMAPINFO, BitmapInfoDeleter>;

// The distinct display colours (0x00RRGGBB) of a view, at most 256, each with an id.
class ColourIds {
 public:
  // The id of colour, added when new; -1 when 256 colours are taken.
  int Of(std::uint32_t colour) {
    const auto it = std::find(m_colours.begin(), m_colours.end(), colour);
    if (it != m_colours.end()) return static_cast<int>(it - m_colours.begin());
    if (m_colours.size() == 256) return -1;
    m_colours.push_back(colour);
    return static_cast<int>(m_colours.size()) - 1;
  }
  std::uint32_t Colour(int id) const { return m_colours[static_cast<size_t>(id)]; }
  int Count() const { return static_cast<int>(m_colours.size()); }

 private:
  std::vector<std::uint32_t> m_colours;
};

// The components view as a palette picture: every pixel the colour id of its display pixel,
// then the runs of every shown component painted with the id of its rotating colour, the
// palette in order of first appearance. False when the image's pixels are not 8-bit or the
// view has more than 256 colours.
bool ComponentsPicture(CImage& image, PngPicture& picture) {
  const PixelView view = FormatAccess::View(&image);
  if (!view.HasPixels() || !view.buffer || view.width <= 0 || view.height <= 0) return false;
  const BitmapInfo info(NewBitmapInfo(view));
  if (!info) return false;
  const DisplayRows display(*info, view.buffer, view.bytesPerLine);
  if (!display.Valid() || !display.EightBit() || !display.HoldsColumns(view.width)) return false;
  const int width = view.width, height = view.height;

  ColourIds ids;
  std::array<unsigned char, 256> idOfValue{};
  for (int v = 0; v < 256; ++v) {
    const int id = ids.Of(display.Lookup()[v]);
    if (id < 0) return false;
    idOfValue[static_cast<size_t>(v)] = static_cast<unsigned char>(id);
  }
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  auto plane = std::shared_ptr<unsigned char[]>(AllocateMapBytes(pixels, false).release(),
                                                MapBytesDeleter{});
  unsigned char* const ids0 = plane.get();
  ForEachRowBand(0, height, static_cast<std::int64_t>(pixels), [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      // Display row y is stored row height - 1 - y.
      const unsigned char* in =
          view.buffer + static_cast<ptrdiff_t>(height - 1 - y) * view.bytesPerLine;
      unsigned char* out = ids0 + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int x = 0; x < width; ++x) out[x] = idOfValue[in[x]];
    }
  });

  RotatingColours rotating;
  for (int i = 0; i < image.GetMaxComponent(); ++i) {
    CComp* comp = image.GetComponent(i);
    if (!comp || (comp->GetType() & kHiddenComponentBit)) continue;
    const PixelBgr c = rotating.Current();
    rotating.Advance();
    const int id = ids.Of(std::uint32_t{c.red} << 16 | std::uint32_t{c.green} << 8 | c.blue);
    if (id < 0) return false;
    const CComp::tagCompRun* runs = comp->GetRun(0);
    for (int r = 0; runs && r < comp->GetMaxRun(); ++r) {
      const CComp::tagCompRun& run = runs[r];
      if (run.y < 0 || run.y >= height) continue;
      const int xl = std::max(run.xl, 0), xr = std::min(run.xr, width - 1);
      if (xr < xl) continue;
      std::memset(ids0 + static_cast<size_t>(run.y) * static_cast<size_t>(width) + xl, id,
                  static_cast<size_t>(xr - xl + 1));
    }
  }

  // The first pixel of every id, found in bands and combined.
  constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  const RowBands bands(0, height, static_cast<std::int64_t>(pixels));
  std::vector<std::array<std::int64_t, 256>> firsts(static_cast<size_t>(bands.Count()));
  bands.Run([&](int band, int first, int last) {
    std::array<std::int64_t, 256>& at = firsts[static_cast<size_t>(band)];
    at.fill(kNever);
    const size_t begin = static_cast<size_t>(first) * static_cast<size_t>(width);
    const size_t end = static_cast<size_t>(last) * static_cast<size_t>(width);
    if (begin == end) return;
    int previous = ids0[begin];
    std::uint64_t repeated = 0x0101010101010101ull * static_cast<std::uint64_t>(previous);
    at[static_cast<size_t>(previous)] = static_cast<std::int64_t>(begin);
    for (size_t i = begin + 1; i < end;) {
      // Runs of the previous id, eight bytes at a time: most of a page is paper.
      std::uint64_t word;
      while (i + 8 <= end && (std::memcpy(&word, ids0 + i, 8), word == repeated)) i += 8;
      if (i == end) break;
      const int id = ids0[i];
      if (id != previous) {
        previous = id;
        repeated = 0x0101010101010101ull * static_cast<std::uint64_t>(id);
        if (at[static_cast<size_t>(id)] == kNever)
          at[static_cast<size_t>(id)] = static_cast<std::int64_t>(i);
      }
      ++i;
    }
  });
  std::vector<std::pair<std::int64_t, int>> order;
  for (int id = 0; id < ids.Count(); ++id) {
    std::int64_t first = kNever;
    for (const auto& at : firsts) first = std::min(first, at[static_cast<size_t>(id)]);
    if (first != kNever) order.emplace_back(first, id);
  }
  std::sort(order.begin(), order.end());
  auto indexOf = std::make_shared<std::array<unsigned char, 256>>();
  std::vector<unsigned char> palette;
  for (size_t k = 0; k < order.size(); ++k) {
    (*indexOf)[static_cast<size_t>(order[k].second)] = static_cast<unsigned char>(k);
    AppendPaletteColour(palette, ids.Colour(order[k].second));
  }
  IndexedPicture(
      width, height, std::move(palette),
      [plane, indexOf, width](int y, unsigned char* indices) {
        const unsigned char* row =
            plane.get() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) indices[x] = (*indexOf)[row[x]];
      },
      picture);
  return true;
}

}  // namespace

bool RenderView(CImage& image, View view, CBitmap& target) {
  const unsigned short flags = image.GetUpdateFlags();
  unsigned short wanted = IU_NORMAL;
  if (view == View::overlay) wanted |= IU_MAP_OVERLAY;
  if (view == View::thumbnail) wanted |= IU_THUMBNAIL;
  image.SetUpdateFlags(wanted);  // marks the display for rebuilding
  bool ok = false;
  if (CBitmap* display = image.GetBitmap()) {
    if (view == View::thumbnail) {
      ok = CopyBitmap(*image.GetThumbnail(), target);
    } else {
      ok = CopyBitmap(*display, target);
      if (ok && view == View::components) image.ShowPhysicalStructure(&target);
    }
  }
  image.SetUpdateFlags(flags);
  return ok;
}

bool WriteComponentsView(CImage& image, const std::filesystem::path& path) {
  PngPicture picture;
  if (ComponentsPicture(image, picture)) return WritePngFile(picture, path);
  CBitmap bitmap;
  return RenderView(image, View::components, bitmap) && WritePng(bitmap, path);
}

bool WriteThumbnailView(CImage& image, const std::filesystem::path& path) {
  const PixelView view = FormatAccess::View(&image);
  const BitmapInfo info(view.HasPixels() && view.buffer ? NewBitmapInfo(view) : nullptr);
  std::unique_ptr<DisplayRows> display;
  if (info && view.width > 0 && view.height > 0)
    display = std::make_unique<DisplayRows>(*info, view.buffer, view.bytesPerLine);
  if (!display || !display->Valid() || !display->HoldsColumns(view.width)) {
    CBitmap bitmap;
    return RenderView(image, View::thumbnail, bitmap) && WritePng(bitmap, path);
  }
  CBitmap thumbnail;
  if (!thumbnail.CreateBitmap(kThumbnailSide, kThumbnailSide, 1, 32, nullptr)) return false;
  const PixelArray pixels{thumbnail.Pixels(), kThumbnailSide, kThumbnailSide};
  DrawThumbnailFrame(pixels);
  const ThumbnailPlace place = PlaceInThumbnail(view.width, view.height);
  std::vector<DWORD> row(static_cast<size_t>(view.width));
  StretchRowsColourOnColour(
      [&](int sy) {
        display->Row(sy, view.width, row.data());
        return row.data();
      },
      view.width, view.height, pixels, place.x, place.y, place.width, place.height);
  return WritePng(thumbnail, path);
}

}  // namespace vorlane::pipeline
