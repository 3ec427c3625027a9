// Rotation, shear, crop and resampling of the four formats, with their maps, and the
// common part of resampling and the map morphology of CImage.
#include <cstring>
#include <memory>
#include <type_traits>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/locolorimage.h"
#include "kernels/geometry/crop.h"
#include "kernels/geometry/resample.h"
#include "kernels/geometry/rotate.h"
#include "kernels/geometry/tilt.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/copy.h"

namespace vorlane::detail {

namespace {

// What sets the formats apart: bytes per pixel, fill values and how pixels resample.
template <class Format>
struct Geometry {
  static constexpr int kBpp = 1;
  // Grey levels and palette indices: the low byte of the colour.
  static PixelValue<1> Fill(unsigned long colour) {
    return {{static_cast<unsigned char>(colour & 0xFF)}};
  }
  static constexpr unsigned char kTiltFill = 255;
  static constexpr Sampling kSampling =
      std::is_same_v<Format, CLoColorImage> ? Sampling::kFirst : Sampling::kAverage;
};

template <>
struct Geometry<CBiLevelImage> {
  static constexpr int kBpp = 1;
  // White (1) when the low byte of the colour exceeds 128, else black (0).
  static PixelValue<1> Fill(unsigned long colour) {
    return {{static_cast<unsigned char>((colour & 0xFF) > 128 ? 1 : 0)}};
  }
  static constexpr unsigned char kTiltFill = 1;
  static constexpr Sampling kSampling = Sampling::kMajority;
};

template <>
struct Geometry<CHiColorImage> {
  static constexpr int kBpp = 4;
  // Blue, green, red; the unused fourth byte of new pixels is 0.
  static PixelValue<4> Fill(unsigned long colour) {
    return {{static_cast<unsigned char>((colour >> 16) & 0xFF),
             static_cast<unsigned char>((colour >> 8) & 0xFF),
             static_cast<unsigned char>(colour & 0xFF), 0}};
  }
  static constexpr unsigned char kTiltFill = 0xFF;
  static constexpr Sampling kSampling = Sampling::kAverage;
};

// A new pixel buffer of width x height with bytesPerLine bytes per row (its line table is
// set up by GeometryAccess::Allocate); empty (Valid false) when the buffer would exceed the
// size limit.
class NewPixels {
 public:
  NewPixels(int width, int height, int bytesPerLine)
      : m_width(width), m_height(height), m_bytesPerLine(bytesPerLine) {
    if (width < 0 || height < 0 || bytesPerLine < 0 || !BufferSizeAllowed(bytesPerLine, height)) {
      return;
    }
    m_arrays = std::make_unique<OwnedPixelArrays>(bytesPerLine, height);
  }
  bool Valid() const { return m_arrays != nullptr; }
  Plane View() const { return Plane{m_arrays->Lines(), m_width, m_height}; }
  // Sets the row padding (bytes after the pixels of each row) to value.
  void Pad(int bytesPerPixel, unsigned char value) const {
    FillRowPadding(View(), m_width * bytesPerPixel, m_bytesPerLine, value);
  }

  int m_width;
  int m_height;
  int m_bytesPerLine;
  std::unique_ptr<OwnedPixelArrays> m_arrays;
};

}  // namespace

struct GeometryAccess {
  // A new buffer of the format's row length for width x height, its line table built.
  template <class Format>
  static NewPixels Allocate(Format& self, int width, int height) {
    NewPixels pixels(width, height, self.GetBytesPerLine(width));
    if (pixels.Valid()) {
      self.SetupLineArray(pixels.m_arrays->Lines(), pixels.m_arrays->Data(), height,
                          pixels.m_bytesPerLine);
    }
    return pixels;
  }

  template <class Format>
  static Plane View(Format& self) {
    return Plane{self.m_ppLines, self.m_nWidth, self.m_nHeight};
  }

  // Replaces the pixel arrays by the new ones (the backup is gone already). Arrays shared
  // with another image are only forgotten, and the image owns its arrays afterwards: a
  // shared palette is copied.
  template <class Format>
  static void Install(Format& self, NewPixels& pixels) {
    if constexpr (std::is_same_v<Format, CLoColorImage>) {
      if (self.m_bArraysByReference && self.m_pPalette) {
        self.m_pPalette = CopyPalette(self.m_pPalette).release();
      }
    }
    self.ReleasePixels(self.m_pData, self.m_ppLines, self.m_pBackupData, self.m_ppBackupLines);
    pixels.m_arrays->HandOver(self.m_pData, self.m_ppLines);
    self.m_nWidth = pixels.m_width;
    self.m_nHeight = pixels.m_height;
    self.m_nBytesPerLine = pixels.m_bytesPerLine;
    self.m_lNumberOfPixels = static_cast<LONG>(pixels.m_width) * pixels.m_height;
  }

  template <class Format, class Call>
  static void ForEachMap(Format& self, Call call) {
    for (int i = 0; i < self.m_nImageMaps; ++i) {
      if (CImageMap* map = self.m_ppImageMaps[i]) call(*map);
    }
  }

  template <class Format>
  static void Rotate(Format& self, double angle, unsigned long colour, int keepSize) {
    constexpr int kBpp = Geometry<Format>::kBpp;
    if (angle == 0.0 || !self.m_pData) return;
    const int w = self.m_nWidth;
    const int h = self.m_nHeight;
    const double a = ReduceAngle(angle);
    RotationFrame frame;
    if (!MakeRotationFrame(a, w, h, w - 1, h - 1, frame)) return;
    NewPixels canvas = Allocate(self, frame.width, frame.height);
    if (!canvas.Valid()) return;
    self.DiscardBackup();
    const auto fill = Geometry<Format>::Fill(colour);
    RotationPlacement whole;
    whole.right = frame.width;
    whole.bottom = frame.height;
    RotatePixels<kBpp>(View(self), canvas.View(), frame, whole, &fill);
    canvas.Pad(kBpp, fill.bytes[0]);
    // Each map reduces the angle as given by itself, so an angle that reduces to 0.0 (a full
    // turn) still reaches the maps as a rotation and discards their backups.
    ForEachMap(self, [&](CImageMap& map) { map.Rotate(angle, map.GetPTByteLabel(L"Background")); });
    Install(self, canvas);
    if (keepSize) {
      self.Crop((frame.width - w) / 2, (frame.height - h) / 2, w, h);
    }
  }

  template <class Format>
  static void Rotate(Format& self, CRect rect, double angle, unsigned long colour, int clip) {
    constexpr int kBpp = Geometry<Format>::kBpp;
    if (angle == 0.0 || !self.m_pData) return;
    rect.NormalizeRect();
    const CRect image(0, 0, self.m_nWidth, self.m_nHeight);
    if (!rect.IntersectRect(&rect, &image)) return;
    const double a = ReduceAngle(angle);
    const bool noFill = colour == 0xFFFFFFFFul;
    const auto fill = Geometry<Format>::Fill(colour);
    if (!RotateRectangle<kBpp>(View(self), rect.left, rect.top, rect.right, rect.bottom, a,
                               noFill ? nullptr : &fill, clip != 0)) {
      return;
    }
    const wchar_t* label = noFill ? L"Foreground" : L"Background";
    ForEachMap(self, [&](CImageMap& map) { map.Rotate(rect, a, map.GetPTByteLabel(label), clip); });
  }

  template <class Format>
  static void Tilt(Format& self, double angle, unsigned char mode) {
    constexpr int kBpp = Geometry<Format>::kBpp;
    if (angle == 0.0 || !self.m_pData) return;
    TiltFrame frame;
    if (!MakeTiltFrame(angle, mode, self.m_nWidth, self.m_nHeight, frame)) return;
    NewPixels canvas = Allocate(self, frame.width, frame.height);
    if (!canvas.Valid()) return;
    self.DiscardBackup();
    PixelValue<kBpp> fill;
    std::memset(fill.bytes, Geometry<Format>::kTiltFill, kBpp);
    TiltPixels<kBpp>(View(self), canvas.View(), frame, fill);
    canvas.Pad(kBpp, Geometry<Format>::kTiltFill);
    ForEachMap(self,
               [&](CImageMap& map) { map.Tilt(angle, mode, map.GetPTByteLabel(L"Background")); });
    Install(self, canvas);
  }

  template <class Format>
  static void Crop(Format& self, int x, int y, int cropWidth, int cropHeight) {
    constexpr int kBpp = Geometry<Format>::kBpp;
    if (!self.m_pData || !CropAllowed(x, y, cropWidth, cropHeight, self.m_nWidth, self.m_nHeight)) {
      return;
    }
    NewPixels kept = Allocate(self, cropWidth, cropHeight);
    if (!kept.Valid()) return;
    CropPixels<kBpp>(View(self), kept.View(), x, y);
    kept.Pad(kBpp, 0);
    self.DiscardBackup();
    Install(self, kept);
    ForEachMap(self, [&](CImageMap& map) { map.Crop(x, y, cropWidth, cropHeight); });
  }

  template <class Format>
  static int ReSample(Format& self, int newWidth, int newHeight, int dpi) {
    constexpr int kBpp = Geometry<Format>::kBpp;
    if (newWidth <= 0 || newHeight <= 0 || !self.HasPixels(self.m_pData)) {
      return 0;
    }
    NewPixels scaled = Allocate(self, newWidth, newHeight);
    if (!scaled.Valid()) return 0;
    if (!self.CImage::ReSample(newWidth, newHeight, dpi)) return 0;
    ResamplePixels<kBpp>(View(self), scaled.View(), Geometry<Format>::kSampling);
    scaled.Pad(kBpp, 0);
    self.DiscardBackup();
    Install(self, scaled);
    return 1;
  }
};

}  // namespace vorlane::detail

using vorlane::detail::GeometryAccess;

// ---- CImage: the common part of resampling, map morphology, do-nothing defaults ----

void CImage::Rotate(CRect, double, unsigned long, int) {}
void CImage::Rotate(double, unsigned long, int) {}
void CImage::Tilt(double, unsigned char) {}
void CImage::Crop(int, int, int, int) {}

int CImage::ReSample(int newWidth, int newHeight, int dpi) {
  if (newWidth <= 0 || newHeight <= 0 || !vorlane::detail::BufferSizeAllowed(newWidth, newHeight)) {
    return 0;
  }
  if (m_nComponents > 0 || m_ppComponents) FreeComponents();
  for (int i = 0; i < m_nImageMaps; ++i) {
    if (m_ppImageMaps[i]) m_ppImageMaps[i]->ReSample(newWidth, newHeight);
  }
  SetDPI(dpi);
  m_bDirty = 1;
  return 1;
}

void CImage::ApplyMorphologicalFilterToMap(int mapIndex, unsigned char operation, int size,
                                           unsigned char label, unsigned char option) {
  CImageMap* map = nullptr;
  if (mapIndex == -1) {
    map = GetCurrentMap();
    if (map) label = map->GetPTByteLabel(L"Background");
  } else if (mapIndex >= 0 && mapIndex < m_nImageMaps) {
    map = m_ppImageMaps[mapIndex];
  }
  if (!map) return;
  map->ApplyMorphologicalFilterToMap(operation, size, label, option);
  m_bDirty = 1;
}

// ---- The four formats ----

#define VORLANE_GEOMETRY_OVERRIDES(Format)                                                  \
  void Format::Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect) { \
    GeometryAccess::Rotate(*this, rect, angle, fillColour, clipToRect);                     \
  }                                                                                         \
  void Format::Rotate(double angle, unsigned long fillColour, int keepSize) {               \
    GeometryAccess::Rotate(*this, angle, fillColour, keepSize);                             \
  }                                                                                         \
  void Format::Tilt(double angle, unsigned char mode) {                                     \
    GeometryAccess::Tilt(*this, angle, mode);                                               \
  }                                                                                         \
  void Format::Crop(int x, int y, int cropWidth, int cropHeight) {                          \
    GeometryAccess::Crop(*this, x, y, cropWidth, cropHeight);                               \
  }                                                                                         \
  int Format::ReSample(int newWidth, int newHeight, int dpi) {                              \
    return GeometryAccess::ReSample(*this, newWidth, newHeight, dpi);                       \
  }

VORLANE_GEOMETRY_OVERRIDES(CBiLevelImage)
VORLANE_GEOMETRY_OVERRIDES(CGreyScaleImage)
VORLANE_GEOMETRY_OVERRIDES(CLoColorImage)
VORLANE_GEOMETRY_OVERRIDES(CHiColorImage)

#undef VORLANE_GEOMETRY_OVERRIDES
