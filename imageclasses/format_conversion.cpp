// Conversion between the four formats, duplication by copy or by reference, and the sharing
// of a high-colour image's pixel arrays.
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/locolorimage.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/convert.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/diagnostics.h"

namespace vorlane::detail {
namespace {

// Storage facts of a format: its view kind, m_nBitsPerPixel, the bits per pixel its rows
// are laid out with, and whether it has a palette.
template <class Format>
struct Traits;
template <>
struct Traits<CBiLevelImage> {
  static constexpr PixelFormat kFormat = PixelFormat::kBiLevel;
  static constexpr int kBitsPerPixel = 1;
  static constexpr int kStorageBits = 8;  // one byte per pixel in memory
  static constexpr bool kPalette = false;
};
template <>
struct Traits<CGreyScaleImage> {
  static constexpr PixelFormat kFormat = PixelFormat::kGreyScale;
  static constexpr int kBitsPerPixel = 8;
  static constexpr int kStorageBits = 8;
  static constexpr bool kPalette = false;
};
template <>
struct Traits<CLoColorImage> {
  static constexpr PixelFormat kFormat = PixelFormat::kLoColour;
  static constexpr int kBitsPerPixel = 8;
  static constexpr int kStorageBits = 8;
  static constexpr bool kPalette = true;
};
template <>
struct Traits<CHiColorImage> {
  static constexpr PixelFormat kFormat = PixelFormat::kHiColour;
  static constexpr int kBitsPerPixel = 32;
  static constexpr int kStorageBits = 32;
  static constexpr bool kPalette = false;
};

}  // namespace

template <class Format>
int FormatAccess::Convert(Format& self, CImage* source, unsigned char mode) {
  using T = Traits<Format>;
  const PixelView src = View(source);
  if (source == &self || !src.HasPixels()) return 0;
  const int64_t rowBytes = PaddedRowBytes(src.width, T::kStorageBits);
  if (rowBytes < 0 || !BufferSizeAllowed(rowBytes, src.height)) return 0;
  const int bytesPerLine = static_cast<int>(rowBytes);
  const int height = src.height;

  // The new pixels are complete before the old ones go: the source may share them.
  OwnedPixelArrays arrays(bytesPerLine, height);
  self.SetupLineArray(arrays.Lines(), arrays.Data(), height, bytesPerLine);
  std::unique_ptr<DWORD[]> palette;
  if constexpr (T::kPalette) palette = std::make_unique_for_overwrite<DWORD[]>(256);
  PixelView dst;
  dst.format = T::kFormat;
  dst.width = src.width;
  dst.height = height;
  dst.bytesPerLine = bytesPerLine;
  dst.buffer = arrays.Data();
  dst.rows = arrays.Lines();
  dst.palette = palette.get();
  // Progress goes to the thread's keep-alive handler; without one the rows need no report.
  RowProgress progress;
  if (KeepAliveListening()) {
    progress = [&self, height](int rowsDone) { self.Progress_KeepAlive(rowsDone, height); };
  }
  ConvertPixels(src, dst, mode, progress);

  self.FreeMem();
  self.m_nBitsPerPixel = T::kBitsPerPixel;
  self.m_bArraysByReference = 0;
  self.CImage::CreateFromImage(source, 0);
  self.m_nBytesPerLine = bytesPerLine;
  arrays.HandOver(self.m_pData, self.m_ppLines);
  if constexpr (T::kPalette) self.m_pPalette = palette.release();
  self.SetDirty();
  return 1;
}

template <class Format>
int FormatAccess::Duplicate(Format& self, CImage* source, int byReference) {
  auto* src = dynamic_cast<Format*>(source);
  if (!src || src == &self || !src->m_pData) return 0;
  // The source shares this image's own arrays: this image cannot share them with itself.
  if (byReference && src->m_pData == self.m_pData && !self.m_bArraysByReference) return 0;
  const int bytesPerLine = src->m_nBytesPerLine;
  const int height = src->m_nHeight;

  // A copy is complete before the old pixels go: the source may share them.
  std::optional<OwnedPixelArrays> copy;
  std::unique_ptr<DWORD[]> palette;
  if (!byReference) {
    copy.emplace(bytesPerLine, height);
    CopyBuffer(copy->Data(), src->m_pData, bytesPerLine, height);
    self.SetupLineArray(copy->Lines(), copy->Data(), height, bytesPerLine);
    if constexpr (Traits<Format>::kPalette) palette = CopyPalette(src->m_pPalette);
  }

  self.FreeMem();
  self.CImage::CreateDuplicate(source, byReference);
  self.m_nBytesPerLine = bytesPerLine;
  self.m_bArraysByReference = byReference;
  if (byReference) {
    self.m_pData = src->m_pData;
    self.m_ppLines = src->m_ppLines;
    if constexpr (Traits<Format>::kPalette) self.m_pPalette = src->m_pPalette;
  } else {
    copy->HandOver(self.m_pData, self.m_ppLines);
    if constexpr (Traits<Format>::kPalette) self.m_pPalette = palette.release();
  }
  self.SetDirty();
  return 1;
}

}  // namespace vorlane::detail

using vorlane::detail::FormatAccess;

int CBiLevelImage::CreateFromImage(CImage* source, unsigned char mode) {
  return FormatAccess::Convert(*this, source, mode);
}
int CGreyScaleImage::CreateFromImage(CImage* source, unsigned char mode) {
  return FormatAccess::Convert(*this, source, mode);
}
int CLoColorImage::CreateFromImage(CImage* source, unsigned char mode) {
  return FormatAccess::Convert(*this, source, mode);
}
int CHiColorImage::CreateFromImage(CImage* source, unsigned char mode) {
  return FormatAccess::Convert(*this, source, mode);
}

int CBiLevelImage::CreateDuplicate(CImage* source, int byReference) {
  return FormatAccess::Duplicate(*this, source, byReference);
}
int CGreyScaleImage::CreateDuplicate(CImage* source, int byReference) {
  return FormatAccess::Duplicate(*this, source, byReference);
}
int CLoColorImage::CreateDuplicate(CImage* source, int byReference) {
  return FormatAccess::Duplicate(*this, source, byReference);
}
int CHiColorImage::CreateDuplicate(CImage* source, int byReference) {
  return FormatAccess::Duplicate(*this, source, byReference);
}

void CHiColorImage::SetReferenceImage(CImage* reference) {
  if (!reference) {
    if (m_bArraysByReference) {
      // Stop sharing: a black buffer of this image's own, of the same size.
      vorlane::detail::OwnedPixelArrays arrays(m_nBytesPerLine, m_nHeight);
      std::memset(arrays.Data(), 0, vorlane::detail::BufferBytes(m_nBytesPerLine, m_nHeight));
      SetupLineArray(arrays.Lines(), arrays.Data(), m_nHeight, m_nBytesPerLine);
      m_pData = nullptr;
      m_ppLines = nullptr;
      arrays.HandOver(m_pData, m_ppLines);
      m_bArraysByReference = 0;
    }
    SetDirty();
    return;
  }
  // Only another high-colour image with pixels of this image's size, whose arrays are not
  // this image's already: anything else would leave this image reading past the
  // reference's buffer, or releasing arrays that it then goes on to use.
  auto* ref = dynamic_cast<CHiColorImage*>(reference);
  if (!ref || ref == this || !ref->m_pData || ref->m_pData == m_pData ||
      ref->m_nWidth != m_nWidth || ref->m_nHeight != m_nHeight) {
    return;
  }
  if (!m_bArraysByReference) vorlane::detail::FreePixelArrays(m_pData, m_ppLines);
  m_bArraysByReference = 1;
  m_pData = ref->m_pData;
  m_ppLines = ref->m_ppLines;
  SetDirty();
}
