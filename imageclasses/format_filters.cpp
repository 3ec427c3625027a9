// The neighbourhood filters of the pixel formats: convolution, rank-order filters,
// salt-and-pepper removal, edge detection and edge-preserving smoothing.
#include <cstdint>
#include <memory>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/imagemap.h"
#include "kernels/filters/convolution.h"
#include "kernels/filters/edge_detector.h"
#include "kernels/filters/edge_preserving_smoothing.h"
#include "kernels/filters/filter_rows.h"
#include "kernels/filters/rank_order.h"
#include "kernels/pixels/copy.h"
#include "platform/diagnostics.h"

using vorlane::detail::BinaryRule;
using vorlane::detail::FilterView;

namespace {

// The private copy of a pixel buffer that a filter reads, with row pointers at the image's
// row offsets, and the restoring of the image from it.
class PixelCopy {
 public:
  PixelCopy(const unsigned char* data, unsigned char* const* lines, int bytesPerLine, int height)
      : m_bytesPerLine(bytesPerLine),
        m_height(height),
        m_data(std::make_unique_for_overwrite<unsigned char[]>(
            vorlane::detail::BufferBytes(bytesPerLine, height))),
        m_lines(static_cast<size_t>(height)) {
    vorlane::detail::CopyBuffer(m_data.get(), data, bytesPerLine, height);
    for (int y = 0; y < height; ++y)
      m_lines[static_cast<size_t>(y)] = m_data.get() + (lines[y] - data);
  }
  const unsigned char* const* Lines() const { return m_lines.data(); }
  void RestoreInto(unsigned char* data) const {
    vorlane::detail::CopyBuffer(data, m_data.get(), m_bytesPerLine, m_height);
  }

 private:
  int m_bytesPerLine;
  int m_height;
  std::unique_ptr<unsigned char[]> m_data;
  std::vector<const unsigned char*> m_lines;
};

// Which bytes of the current map mean foreground, and its rows; without a current map every
// pixel is foreground. The filters mark no map byte: a pixel whose window holds no foreground
// is itself background, so it carries the "Background" label already (a bit label is one bit,
// a byte label the whole byte) and adding the label would change nothing.
struct ForegroundOfMap {
  explicit ForegroundOfMap(CImageMap* map) {
    if (!map) return;
    const unsigned char label = map->GetPTByteLabel(L"Background");
    for (int b = 0; b < 256; ++b) {
      foreground[b] = map->ByteIsOfType(static_cast<unsigned char>(b), label) ? 0 : 1;
    }
    rows.resize(static_cast<size_t>(map->GetHeight()));
    for (int y = 0; y < map->GetHeight(); ++y) rows[static_cast<size_t>(y)] = map->GetLine(y);
  }
  const unsigned char* const* Rows() const { return rows.empty() ? nullptr : rows.data(); }
  unsigned char foreground[256] = {};
  std::vector<const unsigned char*> rows;
};

// Runs a filter over the image: kernel(view, x0, x1, y0, y1) writes columns x0 to x1 - 1 of rows
// y0 to y1 - 1, reading rows up to reach above and below them (reach < 0: a kernel that takes
// whole columns only). Column by column, cancelled(x) asks the host whether to stop; a stop
// puts the pixels back as they were.
template <class Kernel, class Cancelled>
void RunFilter(unsigned char* data, unsigned char* const* lines, int bytesPerLine, int width,
               int height, CImageMap* current, int reach, Kernel&& kernel, Cancelled&& cancelled) {
  const ForegroundOfMap map(current);
  if (reach >= 0 && !vorlane::detail::KeepAliveListening()) {
    // No host listens, so the answer cannot change during the run: a cancel still pending
    // leaves the image as it is, otherwise the bands of rows are filtered in place at once.
    if (cancelled(0)) return;
    vorlane::detail::ForEachRowBandInPlace(
        lines, static_cast<size_t>(bytesPerLine), height, reach, std::int64_t{width} * height,
        [&](const unsigned char* const* src, int y0, int y1) {
          kernel(FilterView{src, lines, width, height, map.Rows(), map.foreground}, 0, width, y0,
                 y1);
        });
    return;
  }
  // Strips of columns over a copy that a stop puts back; a host with a keep-alive handler sees
  // the columns' progress as they are done.
  const PixelCopy copy(data, lines, bytesPerLine, height);
  const FilterView view{copy.Lines(), lines, width, height, map.Rows(), map.foreground};
  const bool finished = vorlane::detail::RunFilterStrips(
      width, height, vorlane::detail::KeepAliveListening(),
      [&](int x0, int x1) { kernel(view, x0, x1, 0, height); }, cancelled);
  if (!finished) copy.RestoreInto(data);
}

// Whether a kernel can be applied: present, of odd size 1 to 7, with a divisor other than 0.
bool UsableKernel(const tagFilterStruct* filter) {
  return filter && filter->size >= 1 && filter->size <= 7 && filter->size % 2 == 1 &&
         filter->divisor != 0;
}

// Half-width of a window of side 3, 5 or 7; any other side counts as 3.
int HalfWindow(int windowSize) { return windowSize == 5 ? 2 : windowSize == 7 ? 3 : 1; }

}  // namespace

namespace {

// The convolution of filter over the pixels of a format of kBpp bytes per pixel (the image's
// data, lines, row length and size), leaving out the background of the current map; column
// by column, cancelled(x) asks the host whether to stop. The caller has checked the kernel
// (UsableKernel) and the pixels.
template <int kBpp, class Cancelled>
void ConvolvePixels(const tagFilterStruct& filter, unsigned char* data, unsigned char* const* lines,
                    int bytesPerLine, int width, int height, CImageMap* current,
                    Cancelled&& cancelled) {
  const vorlane::detail::ConvolutionKernel kernel{filter.kernel, filter.size, filter.divisor};
  RunFilter(
      data, lines, bytesPerLine, width, height, current, (kernel.size - 1) / 2,
      [&](const FilterView& view, int x0, int x1, int y0, int y1) {
        vorlane::detail::ConvolveColumns<kBpp>(view, kernel, x0, x1, y0, y1);
      },
      cancelled);
}

}  // namespace

void CGreyScaleImage::ApplyFilter(tagFilterStruct* filter) {
  if (!UsableKernel(filter) || !HasPixels(m_pData)) return;
  ConvolvePixels<1>(*filter, m_pData, m_ppLines, m_nBytesPerLine, m_nWidth, m_nHeight,
                    GetCurrentMap(),
                    [&](int x) { return Progress_KeepAlive(x + 1, m_nWidth) != 0; });
  m_bDirty = 1;
}

void CHiColorImage::ApplyFilter(tagFilterStruct* filter) {
  if (!UsableKernel(filter) || !HasPixels(m_pData)) return;
  ConvolvePixels<4>(*filter, m_pData, m_ppLines, m_nBytesPerLine, m_nWidth, m_nHeight,
                    GetCurrentMap(),
                    [&](int x) { return Progress_KeepAlive(x + 1, m_nWidth) != 0; });
  m_bDirty = 1;
}

void CHiColorImage::ApplyRankOrderFilter(unsigned char operation, int windowSize,
                                         unsigned char channel) {
  if (!vorlane::detail::IsRankOperation(operation) || !HasPixels(m_pData)) {
    return;
  }
  const int h = HalfWindow(windowSize);
  RunFilter(
      m_pData, m_ppLines, m_nBytesPerLine, m_nWidth, m_nHeight, GetCurrentMap(), h,
      [&](const FilterView& view, int x0, int x1, int y0, int y1) {
        vorlane::detail::RankOrderColumns(view, operation, h, channel, x0, x1, y0, y1);
      },
      [&](int x) { return Progress_KeepAlive(x + 1, m_nWidth) != 0; });
  m_bDirty = 1;
}

namespace {

// Runs a two-level window filter over a copy, with progress and cancel per column as RunFilter
// (there are no map marks).
template <class Cancelled>
void RunBinaryFilter(unsigned char* data, unsigned char* const* lines, int bytesPerLine, int width,
                     int height, int h, BinaryRule rule, Cancelled&& cancelled) {
  RunFilter(
      data, lines, bytesPerLine, width, height, nullptr, -1,
      [&](const FilterView& view, int x0, int x1, int, int) {
        vorlane::detail::BinaryWindowColumns(view.src, view.dst, width, height, h, rule, x0, x1);
      },
      cancelled);
}

}  // namespace

void CBiLevelImage::ApplyRankOrderFilter(unsigned char operation, int windowSize, unsigned char) {
  if (!vorlane::detail::IsRankOperation(operation) || !HasPixels(m_pData)) {
    return;
  }
  const BinaryRule rule = operation == vorlane::detail::kRankMinimum   ? BinaryRule::kMinimum
                          : operation == vorlane::detail::kRankMaximum ? BinaryRule::kMaximum
                          : operation == vorlane::detail::kRankRange   ? BinaryRule::kRange
                                                                       : BinaryRule::kMedian;
  RunBinaryFilter(m_pData, m_ppLines, m_nBytesPerLine, m_nWidth, m_nHeight, HalfWindow(windowSize),
                  rule, [&](int x) { return Progress_KeepAlive(x + 1, m_nWidth) != 0; });
  m_bDirty = 1;
}

void CBiLevelImage::SaltPepperRemoval(int windowSize) {
  if (!HasPixels(m_pData)) return;
  RunBinaryFilter(m_pData, m_ppLines, m_nBytesPerLine, m_nWidth, m_nHeight, HalfWindow(windowSize),
                  BinaryRule::kMajority,
                  [&](int x) { return Progress_KeepAlive(x + 1, m_nWidth) != 0; });
  m_bDirty = 1;
}

void CHiColorImage::EdgeDetector(int directions) {
  if (directions < 1 || !HasPixels(m_pData)) return;
  DiscardBackup();
  if (!CreateBackup() || !m_ppBackupLines) return;
  vorlane::detail::DetectEdges(m_ppBackupLines, m_ppLines, m_nWidth, m_nHeight, directions);
  m_bDirty = 1;
}

void CHiColorImage::EdgePreservingSmoothing() {
  if (!HasPixels(m_pData)) return;
  const PixelCopy copy(m_pData, m_ppLines, m_nBytesPerLine, m_nHeight);
  vorlane::detail::SmoothPreservingEdges(copy.Lines(), m_ppLines, m_nWidth, m_nHeight);
  m_bDirty = 1;
}
