// Side-by-side timing of rotation and resampling on the grey and colour A4 bench pages
// against OpenCV (warpAffine nearest, resize area) and Leptonica (pixRotate sampling): the
// host's figure (a copy of the page, or a clone, then the operation) and the warm one (the
// operation alone), medians with their ratios. Our operations include bringing the page's map
// along.
#include <leptonica/allheaders.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::peers::Figures;
using vorlane::bench::peers::Measure;
using vorlane::bench::peers::MeasureHost;
using vorlane::bench::peers::Print;
using vorlane::bench::peers::Ratio;

constexpr double kDegrees = 2.0;
const double kRadians = kDegrees * 3.14159265358979323846 / 180.0;

// Host: a copy of the page (pixels and maps) made, then op on it. Warm: op on a fresh image
// sharing the page's pixels, made untimed before each run.
template <class Format>
Figures Ours(const std::string& name, Format& page, const std::function<void(Format&)>& op) {
  std::unique_ptr<Format> image;
  const auto make = [&](int byReference) {
    image = std::make_unique<Format>();
    image->CreateDuplicate(&page, byReference);
  };
  Figures f{
      name, MeasureHost([&] { make(FALSE); }, [&] { op(*image); }, [&] { image.reset(); }), {}};
  make(TRUE);
  f.warm = Measure(
      true, [&] { op(*image); }, [&] { make(TRUE); });
  return f;
}

// Host: src cloned, then op on the clone; warm: op on src. release drops op's output.
Figures Peer(const std::string& name, const cv::Mat& src,
             const std::function<void(const cv::Mat&)>& op, const std::function<void()>& release) {
  cv::Mat clone;
  return {name,
          MeasureHost([&] { clone = src.clone(); }, [&] { op(clone); },
                      [&] {
                        clone.release();
                        release();
                      }),
          Measure(
              true, [&] { op(src); }, release)};
}

// The page's pixels as an OpenCV matrix (1 or 4 channels) and a Leptonica pix (8 or 32 bpp).
cv::Mat ToMat(CImage& page, bool colour) {
  cv::Mat m(page.GetHeight(), page.GetWidth(), colour ? CV_8UC4 : CV_8UC1);
  for (int y = 0; y < m.rows; ++y) {
    for (int x = 0; x < m.cols; ++x) {
      const unsigned long c = page.GetRGBColor(x, y);
      if (colour) {
        m.at<cv::Vec4b>(y, x) = cv::Vec4b(static_cast<uchar>(c >> 16), static_cast<uchar>(c >> 8),
                                          static_cast<uchar>(c), 0);
      } else {
        m.at<uchar>(y, x) = static_cast<uchar>(c);
      }
    }
  }
  return m;
}

PIX* ToPix(CImage& page, bool colour) {
  PIX* pix = pixCreate(page.GetWidth(), page.GetHeight(), colour ? 32 : 8);
  for (int y = 0; y < page.GetHeight(); ++y) {
    for (int x = 0; x < page.GetWidth(); ++x) {
      const unsigned long c = page.GetRGBColor(x, y);
      pixSetPixel(pix, x, y,
                  colour ? (static_cast<l_uint32>(c & 0xFF) << 24 |
                            static_cast<l_uint32>((c >> 8) & 0xFF) << 16 |
                            static_cast<l_uint32>((c >> 16) & 0xFF) << 8)
                         : static_cast<l_uint32>(c & 0xFF));
    }
  }
  return pix;
}

Figures WarpAffine(const cv::Mat& src, int threads) {
  cv::setNumThreads(threads);
  const double c = std::cos(kRadians), s = std::sin(kRadians);
  const cv::Size canvas(static_cast<int>(c * src.cols + s * src.rows),
                        static_cast<int>(s * src.cols + c * src.rows));
  cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(src.cols / 2.0f, src.rows / 2.0f), -kDegrees, 1);
  m.at<double>(0, 2) += (canvas.width - src.cols) / 2.0;
  m.at<double>(1, 2) += (canvas.height - src.rows) / 2.0;
  cv::Mat dst;
  return Peer(
      threads == 1 ? "cv::warpAffine nearest 1 thr" : "cv::warpAffine nearest", src,
      [&](const cv::Mat& s) {
        cv::warpAffine(s, dst, m, canvas, cv::INTER_NEAREST, cv::BORDER_CONSTANT,
                       cv::Scalar::all(255));
      },
      [&] { dst.release(); });
}

Figures PixRotate(PIX* pix) {
  PIX* out = nullptr;
  PIX* copy = nullptr;
  const auto rotate = [&](PIX* p) {
    out = pixRotate(p, static_cast<l_float32>(kRadians), L_ROTATE_SAMPLING, L_BRING_IN_WHITE,
                    pixGetWidth(p), pixGetHeight(p));
  };
  const auto release = [&] {
    if (out) pixDestroy(&out);
  };
  return {"pixRotate sampling",
          MeasureHost([&] { copy = pixCopy(nullptr, pix); }, [&] { rotate(copy); },
                      [&] {
                        if (copy) pixDestroy(&copy);
                        release();
                      }),
          Measure(
              true, [&] { rotate(pix); }, release)};
}

Figures Resize(const cv::Mat& src, double factor) {
  cv::Mat dst;
  const cv::Size size(static_cast<int>(src.cols * factor), static_cast<int>(src.rows * factor));
  return Peer(
      "cv::resize area x" + std::to_string(factor).substr(0, 3), src,
      [&](const cv::Mat& s) { cv::resize(s, dst, size, 0, 0, cv::INTER_AREA); },
      [&] { dst.release(); });
}

template <class Format>
void Compare(const char* title, Format& page, bool colour) {
  const cv::Mat mat = ToMat(page, colour);
  PIX* pix = ToPix(page, colour);
  const int w = page.GetWidth(), h = page.GetHeight();
  const Figures rotate =
      Ours<Format>("Rotate 2 deg", page, [](Format& f) { f.Rotate(kRadians, 0xFFFFFF, 0); });
  const Figures tilt =
      Ours<Format>("Tilt 2 deg, mode 3", page, [](Format& f) { f.Tilt(kRadians, 3); });
  const Figures crop =
      Ours<Format>("Crop inner", page, [&](Format& f) { f.Crop(100, 100, w - 200, h - 200); });
  const Figures half =
      Ours<Format>("ReSample x0.5", page, [&](Format& f) { f.ReSample(w / 2, h / 2, 150); });
  const Figures twice =
      Ours<Format>("ReSample x2", page, [&](Format& f) { f.ReSample(w * 2, h * 2, 600); });
  const Figures warp = WarpAffine(mat, -1), warp1 = WarpAffine(mat, 1), lept = PixRotate(pix);
  cv::setNumThreads(-1);
  const Figures cvHalf = Resize(mat, 0.5), cvTwice = Resize(mat, 2.0);
  std::printf("\n%s (%d x %d), medians in ms:\n", title, w, h);
  vorlane::bench::peers::PrintHeader();
  for (const Figures* f :
       {&rotate, &tilt, &crop, &half, &twice, &warp, &warp1, &lept, &cvHalf, &cvTwice}) {
    Print(*f);
  }
  std::printf("  Ratios (ours / peer; below 1 is faster):\n");
  Ratio(rotate, warp, 1.0);
  Ratio(rotate, warp1, 1.0);
  Ratio(rotate, lept, 0);
  Ratio(half, cvHalf, 1.5);
  Ratio(twice, cvTwice, 0);
  pixDestroy(&pix);
}

}  // namespace

int main() {
  std::printf(
      "Geometry on the A4 bench pages, %d runs each (host: a copy of the page, then the"
      " operation; warm: the operation alone, heap kept).\n",
      vorlane::bench::peers::kRepetitions);
  Compare<CGreyScaleImage>("Grey page", vorlane::bench::BenchGreyPage(), false);
  Compare<CHiColorImage>("Colour page", vorlane::bench::BenchColourPage(), true);
  return 0;
}
