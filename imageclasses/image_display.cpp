// Display state of CImage: the pixel sources and description of the display bitmap, its
// rebuild with the map colours, the copy with overlays, the thumbnail, the drawing settings
// and the title.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/locolorimage.h"
#include "kernels/display/bitmap_view.h"
#include "kernels/display/display_bitmaps.h"
#include "kernels/display/paint_runs.h"
#include "kernels/display/stretch.h"
#include "kernels/display/thumbnail.h"
#include "kernels/display/transfer.h"
#include "kernels/pixels/copy.h"
#include "platform/diagnostics.h"

using vorlane::detail::FormatAccess;
using vorlane::detail::PixelArray;

namespace {

constexpr DWORD kBlack = 0;

// Makes bitmap a width x height bitmap: a new one is black; one of that size already is kept
// (reusing its pages spares a fresh allocation of a page-sized array on every rebuild) with
// its pixels as they are, or cleared to black with clear. False when it cannot be created.
bool MakeBitmap(CBitmap& bitmap, int width, int height, bool clear) {
  if (bitmap.GetSafeHandle() && bitmap.Width() == width && bitmap.Height() == height) {
    if (clear) std::fill(bitmap.Pixels(), bitmap.Pixels() + int64_t{width} * height, kBlack);
    return true;
  }
  bitmap.DeleteObject();
  return bitmap.CreateBitmap(width, height, 1, 32, nullptr);
}

// The colour of every label of map.
vorlane::detail::LabelColours MapLabelColours(const CImageMap& map) {
  vorlane::detail::LabelColours colours;
  for (int label = 0; label < 256; ++label) {
    auto& c = colours.colour[static_cast<size_t>(label)];
    const bool has =
        map.GetMapColour(static_cast<unsigned char>(label), &c.red, &c.green, &c.blue) != 0;
    colours.has[static_cast<size_t>(label)] = has;
    colours.any = colours.any || has;
  }
  return colours;
}

// Whether image is of one of the library's own pixel formats, whose map colours are painted
// by CImage::UpdateColourMap; a host's derived class may paint them its own way.
bool PaintsOwnMapColours(const CImage& image) {
  const std::type_info& type = typeid(image);
  return type == typeid(CHiColorImage) || type == typeid(CGreyScaleImage) ||
         type == typeid(CLoColorImage) || type == typeid(CBiLevelImage);
}

}  // namespace

// ---- Pixel sources ----

unsigned char* CImage::UpdateNormal() { return FormatAccess::View(this).buffer; }

unsigned char* CImage::UpdateDimmed() {
  const auto view = FormatAccess::View(this);
  if (!view.buffer) return nullptr;
  auto copy = std::make_unique<unsigned char[]>(
      vorlane::detail::BufferBytes(view.bytesPerLine, view.height));
  vorlane::detail::CopyBuffer(copy.get(), view.buffer, view.bytesPerLine, view.height);
  return copy.release();
}

void CImage::FillBitmapInfo() {
  vorlane::detail::ReleaseBitmapInfo(m_pBitmapInfo);
  m_pBitmapInfo = vorlane::detail::NewBitmapInfo(FormatAccess::View(this));
}

// ---- The display bitmap ----

CBitmap* CImage::GetBitmap() {
  if (m_bDirty) RequestUpdate();
  return &m_Bitmap;
}

void CImage::RequestUpdate() {
  // Cleared below unless the transfer writes every pixel.
  if (!MakeBitmap(m_Bitmap, m_nWidth, m_nHeight, false)) {
    vorlane::detail::Trace("Failed to create CBitmap object in CHiColorImage::UpdateNormal()\n");
    return;
  }
  const WORD flags = m_ImageUpdate.wFlags;
  const bool dimmed = !(flags & IU_NORMAL) && (flags & IU_DIMMED);
  std::unique_ptr<unsigned char[]> dimmedCopy;
  unsigned char* source = nullptr;
  if (flags & IU_NORMAL) {
    source = UpdateNormal();
  } else if (dimmed) {
    dimmedCopy.reset(UpdateDimmed());
    source = dimmedCopy.get();
  }
  FillBitmapInfo();
  // The map colours are painted into each row as soon as it is transferred, while it is in
  // the cache, when the class paints them with this class's own UpdateColourMap (the same
  // pixels as the calls below).
  const int overlayMaps[] = {m_nCurrentMap, GetImageMapIndex(L"Dorvale")};
  std::vector<vorlane::detail::LabelPainter> painters;
  if ((flags & IU_MAP_OVERLAY) && PaintsOwnMapColours(*this)) {
    for (const int index : overlayMaps) {
      if (const CImageMap* map = GetImageMap(index)) {
        painters.emplace_back(map->m_ppLines, map->GetWidth(), map->GetHeight(),
                              MapLabelColours(*map));
      }
    }
  }
  const std::function<void(int)> paintRow = [&](int y) {
    unsigned char* row =
        reinterpret_cast<unsigned char*>(m_Bitmap.Pixels() + int64_t{y} * m_Bitmap.Width());
    for (const auto& painter : painters) painter.PaintRow(row, y, m_Bitmap.Width());
  };
  const bool transferred =
      m_pBitmapInfo && source &&
      vorlane::detail::TransferPixels(*m_pBitmapInfo, source, FormatAccess::View(this).bytesPerLine,
                                      m_Bitmap.Pixels(), m_Bitmap.Width(), m_Bitmap.Height(),
                                      painters.empty() ? nullptr : &paintRow);
  if (!transferred) MakeBitmap(m_Bitmap, m_nWidth, m_nHeight, true);
  dimmedCopy.reset();
  if ((flags & IU_MAP_OVERLAY) && (painters.empty() || !transferred)) {
    UpdateColourMap(overlayMaps[0]);
    UpdateColourMap(overlayMaps[1]);
  }
  if (flags & IU_THUMBNAIL) UpdateThumbnail();
  m_bDirty = 0;
}

void CImage::GetBitmap(CBitmap* target) {
  if (!target) return;
  if (m_bDirty) RequestUpdate();
  // The copy below covers the whole target when the display bitmap has the image's size.
  const bool covered =
      m_Bitmap.GetSafeHandle() && m_Bitmap.Width() == m_nWidth && m_Bitmap.Height() == m_nHeight;
  if (!MakeBitmap(*target, m_nWidth, m_nHeight, !covered)) return;
  vorlane::detail::CopyPixels(vorlane::detail::ArrayOf(m_Bitmap),
                              vorlane::detail::ArrayOf(*target));
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) ShowPhysicalStructure(target);
  if (m_ImageUpdate.wFlags & IU_OVERLAY_COMPONENTS) OverlayComponent(-1, target, 3);
}

// ---- Map colours ----

void CImage::UpdateColourMap(int mapIndex) {
  CImageMap* map = GetImageMap(mapIndex);
  if (!map) return;
  if (!m_Bitmap.GetSafeHandle()) {
    vorlane::detail::Trace("Invalid CBitmap object in CImage::UpdateColourMap()\n");
    return;
  }
  const auto view = vorlane::detail::ViewOf(m_Bitmap);
  if (!vorlane::detail::OverlayDepthAccepted(view, "CImage::UpdateColourMap")) return;
  vorlane::detail::PaintLabelColours(view, map->m_ppLines, map->GetWidth(), map->GetHeight(),
                                     MapLabelColours(*map));
}

void CImage::UpdateColourMap(const wchar_t* name) {
  const int index = GetImageMapIndex(name);
  if (index >= 0) UpdateColourMap(index);
}

// ---- Thumbnail ----

void CImage::UpdateThumbnail() {
  using namespace vorlane::detail;
  m_Thumbnail.DeleteObject();
  if (!m_Thumbnail.CreateBitmap(kThumbnailSide, kThumbnailSide, 1, 32, nullptr)) return;
  const PixelArray thumbnail = ArrayOf(m_Thumbnail);
  DrawThumbnailFrame(thumbnail);
  const ThumbnailPlace place = PlaceInThumbnail(m_nWidth, m_nHeight);
  StretchColourOnColour(ArrayOf(m_Bitmap), thumbnail, place.x, place.y, place.width, place.height);
}

// ---- Drawing settings and title ----

void CImage::DrawSetLimits(CRect limits) { m_rcDrawLimits = limits; }
void CImage::DrawSetForeColor(unsigned long colour) { m_crDrawFore = static_cast<DWORD>(colour); }
void CImage::DrawSetBackColor(unsigned long colour) { m_crDrawBack = static_cast<DWORD>(colour); }

CString CImage::GetTitle(unsigned short parts) {
  CString title;
  if (parts & 0x01) {
    // A missing name reads as the empty one: the title then starts with the blank.
    if (m_pszName) title += m_pszName;
    title += L" ";
  }
  if (parts & 0x02) {
    if (m_dwType & IMAGE_TYPE_HICOLOR) {
      title += L"HiColor ";
    } else if (m_dwType & IMAGE_TYPE_LOCOLOR) {
      title += L"LoColor ";
    } else if (m_dwType & IMAGE_TYPE_BILEVEL) {
      title += L"BiLevel ";
    } else {
      title += L"Unknown ";
    }
  }
  return title;
}
