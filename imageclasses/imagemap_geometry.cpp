// CImageMap geometry and morphology: rotation, shear, crop, resampling, dilation and
// erosion of labels, and label projections.
#include <cstring>
#include <memory>
#include <vector>

#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "kernels/geometry/crop.h"
#include "kernels/geometry/morphology.h"
#include "kernels/geometry/projection.h"
#include "kernels/geometry/rotate.h"
#include "kernels/geometry/tilt.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/map_bytes.h"

namespace {

using vorlane::detail::Plane;

// A new byte buffer of width x height (within the size limit) with its top-down line table,
// released unless handed to the map.
struct NewBytes {
  vorlane::detail::MapBytes data;
  std::unique_ptr<unsigned char*[]> lines;
  int width;
  int height;

  NewBytes(int w, int h) : width(w), height(h) {
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h);
    data = vorlane::detail::AllocateMapBytes(bytes, false);
    lines = std::make_unique_for_overwrite<unsigned char*[]>(h > 0 ? h : 1);
    for (int y = 0; y < h; ++y) lines[y] = data.get() + static_cast<size_t>(y) * w;
  }
  Plane View() const { return Plane{lines.get(), width, height}; }
};

}  // namespace

void CImageMap::ReplaceBytes(unsigned char* data, unsigned char** lines, int width, int height) {
  vorlane::detail::ReleaseMapBytes(m_pData);
  delete[] m_ppLines;
  m_pData = data;
  m_ppLines = lines;
  m_nWidth = width;
  m_nHeight = height;
}

void CImageMap::Rotate(double angle, unsigned char fill) {
  using namespace vorlane::detail;
  if (angle == 0.0 || !m_pData) return;
  RotationFrame frame;
  if (!MakeRotationFrame(ReduceAngle(angle), m_nWidth, m_nHeight, m_nWidth - 1, m_nHeight - 1,
                         frame) ||
      !BufferSizeAllowed(frame.width, frame.height)) {
    return;
  }
  DiscardBackup();
  NewBytes canvas(frame.width, frame.height);
  RotationPlacement whole;
  whole.right = frame.width;
  whole.bottom = frame.height;
  const PixelValue<1> value{{fill}};
  RotatePixels<1>(Plane{m_ppLines, m_nWidth, m_nHeight}, canvas.View(), frame, whole, &value);
  ReplaceBytes(canvas.data.release(), canvas.lines.release(), canvas.width, canvas.height);
}

void CImageMap::Rotate(CRect rect, double angle, unsigned char fill, int clipToRect) {
  using namespace vorlane::detail;
  if (angle == 0.0 || !m_pData) return;
  rect.NormalizeRect();
  const CRect map(0, 0, m_nWidth, m_nHeight);
  if (!rect.IntersectRect(&rect, &map)) return;
  const PixelValue<1> value{{fill}};
  RotateRectangle<1>(Plane{m_ppLines, m_nWidth, m_nHeight}, rect.left, rect.top, rect.right,
                     rect.bottom, ReduceAngle(angle), &value, clipToRect != 0);
}

void CImageMap::Tilt(double angle, unsigned char mode, unsigned char fill) {
  using namespace vorlane::detail;
  if (angle == 0.0 || !m_pData) return;
  TiltFrame frame;
  if (!MakeTiltFrame(angle, mode, m_nWidth, m_nHeight, frame) ||
      !BufferSizeAllowed(frame.width, frame.height)) {
    return;
  }
  DiscardBackup();
  NewBytes canvas(frame.width, frame.height);
  TiltPixels<1>(Plane{m_ppLines, m_nWidth, m_nHeight}, canvas.View(), frame, PixelValue<1>{{fill}});
  ReplaceBytes(canvas.data.release(), canvas.lines.release(), canvas.width, canvas.height);
}

void CImageMap::Crop(int x, int y, int cropWidth, int cropHeight) {
  using namespace vorlane::detail;
  if (!m_pData || !CropAllowed(x, y, cropWidth, cropHeight, m_nWidth, m_nHeight)) return;
  NewBytes kept(cropWidth, cropHeight);
  CropPixels<1>(Plane{m_ppLines, m_nWidth, m_nHeight}, kept.View(), x, y);
  DiscardBackup();
  ReplaceBytes(kept.data.release(), kept.lines.release(), kept.width, kept.height);
}

int CImageMap::ReSample(int newWidth, int newHeight) {
  if (newWidth < 0 || newHeight < 0 || !vorlane::detail::BufferSizeAllowed(newWidth, newHeight)) {
    return FALSE;
  }
  DiscardBackup();
  AllocateBytes(newWidth, newHeight, true);
  return TRUE;
}

void CImageMap::ApplyMorphologicalFilterToMap(unsigned char operation, int size,
                                              unsigned char label, unsigned char option) {
  using namespace vorlane::detail;
  if ((operation != 1 && operation != 2) || !m_pPixelTypes || !m_pData) return;
  if (m_nLabelMode != MAP_BIT_LABELS && m_nLabelMode != MAP_BYTE_LABELS) return;
  MorphologyParams params;
  params.dilate = operation == 2;
  params.radius = size == 5 ? 2 : size == 7 ? 3 : 1;
  params.bitLabels = m_nLabelMode == MAP_BIT_LABELS;
  params.label = label;
  params.option = option;
  params.foreground = GetPTByteLabel(L"Foreground");
  // Byte-label erosion with option 1 restores from a backup of the map's own size; without
  // one it writes the foreground label.
  if (m_pBackup && m_pBackup->m_pData && m_pBackup->m_nWidth == m_nWidth &&
      m_pBackup->m_nHeight == m_nHeight) {
    params.restoreRows = m_pBackup->m_ppLines;
  }
  const size_t bytes = static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight);
  std::vector<unsigned char> before(m_pData, m_pData + bytes);
  std::vector<unsigned char*> beforeRows(static_cast<size_t>(m_nHeight));
  for (int y = 0; y < m_nHeight; ++y) {
    beforeRows[static_cast<size_t>(y)] = before.data() + static_cast<size_t>(y) * m_nWidth;
  }
  CImage* image = m_pImage;
  const auto cancelled = [image]() { return image && image->Progress_KeepAlive() != 0; };
  if (!ApplyMorphology(Plane{m_ppLines, m_nWidth, m_nHeight}, beforeRows.data(), params,
                       cancelled)) {
    std::memcpy(m_pData, before.data(), bytes);
  }
}

void CImageMap::GetProjection(unsigned char label, int x, int y, int width, int height,
                              long* rowCounts, long* columnCounts, int complement,
                              unsigned char flags) {
  if ((!rowCounts && !columnCounts) || width < 0 || height < 0) return;
  vorlane::detail::ProjectLabel(
      vorlane::detail::Plane{m_ppLines, m_pData ? m_nWidth : 0, m_pData ? m_nHeight : 0}, label, x,
      y, width, height, rowCounts, columnCounts, (flags & 0x8) != 0, (flags & 0x4) != 0,
      complement != 0);
}
