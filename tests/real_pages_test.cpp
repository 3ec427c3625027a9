// The pipeline on real scanned pages in the files scanners write: the CCITT fax test pages
// as a three-page Group 4 TIFF, and a grey page made from one of them stored at 4 and 16
// bits, JPEG in TIFF, JPEG and PNG; each against the same pixels as an 8-bit TIFF.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "imageclasses/greyscaleimage.h"
#include "imageclasses/internal/format_access.h"
#include "support/picture_files.h"
#include "support/pipeline_rig.h"
#include "support/tiff_files.h"
#include "vorlane/io/pages.h"
#include "vorlane/pipeline/batch.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/skew.h"

namespace {

namespace fs = std::filesystem;
using vorlane::pipeline::PageOutcome;

const fs::path kFaxPages = "/usr/share/jbigkit-testdata";

bool Shell(const std::string& command) {
  return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// Writes fax page n (1 to 8) of the test data to tif as a Group 4 TIFF at 200 dpi, through a
// PBM file in dir.
bool FaxPageTiff(int n, const fs::path& dir, const fs::path& tif) {
  const std::string number = std::to_string(n);
  const fs::path pbm = dir / ("fax" + number + ".pbm");
  return Shell("jbgtopbm " + (kFaxPages / ("ccitt" + number + ".jbg")).string() + " " +
               pbm.string() + " && ppm2tiff -c g4 -R 200 " + pbm.string() + " " + tif.string());
}

// The grey page: 2 x 2 blocks of a bi-level page averaged.
picturetest::Picture GreyOf(CImage& bits) {
  const vorlane::detail::PixelView v = vorlane::detail::FormatAccess::View(&bits);
  picturetest::Picture p{v.width / 2, v.height / 2, 1, 8, {}};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const int sum = v.rows[2 * y][2 * x] + v.rows[2 * y][2 * x + 1] + v.rows[2 * y + 1][2 * x] +
                      v.rows[2 * y + 1][2 * x + 1];
      p.samples.push_back(static_cast<uint8_t>((sum * 255 + 2) / 4));
    }
  return p;
}

bool WriteGreyTiff(const fs::path& path, const picturetest::Picture& p, uint16_t bits,
                   uint16_t compression = COMPRESSION_NONE) {
  tifftest::TiffFlavour f{static_cast<uint32_t>(p.width),
                          static_cast<uint32_t>(p.height),
                          bits,
                          1,
                          PHOTOMETRIC_MINISBLACK,
                          compression};
  f.rowsPerStrip = 64;
  return tifftest::WriteTiffFile(
      path.string(), f, {tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int) -> uint32_t {
        const uint32_t g = p.samples[y * static_cast<uint32_t>(p.width) + x];
        return bits == 16 ? g * 257 : g >> (8 - bits);
      })});
}

// The pixels of the first page of path as an 8-bit TIFF at copy.
void CopyAsTiff(const fs::path& path, const fs::path& copy) {
  vorlane::LoadedImage page = vorlane::LoadPage(path);
  ASSERT_TRUE(page.image) << page.error;
  ASSERT_TRUE(page.image->ExportTIFF(vorlane::pipeline::WidePath(copy).c_str()));
}

std::map<std::string, int> Components(const std::vector<vorlane::pipeline::PageResult>& results) {
  std::map<std::string, int> out;
  for (const auto& r : results) {
    EXPECT_EQ(r.outcome, PageOutcome::written) << r.message;
    out[r.names.report.filename().string()] = r.components;
  }
  return out;
}

TEST(RealPages, EveryPageOfScannerFilesCountsAsTheSamePixelsIn8BitTiff) {
  if (!fs::exists(kFaxPages / "ccitt1.jbg") || !Shell("command -v jbgtopbm ppm2tiff tiffcp"))
    GTEST_SKIP() << "jbigkit-testdata, jbigkit-bin or libtiff-tools is not installed "
                    "(scripts/install-deps.sh installs them)";
  pipetest::ScratchDir dir;
  const fs::path in = dir / "in", ref = dir / "ref";
  fs::create_directories(in), fs::create_directories(ref);
  std::string pages;
  for (int i = 1; i <= 3; ++i) {
    const std::string n = std::to_string(i);
    const fs::path tif = ref / ("fax3-p000" + n + ".tif");
    ASSERT_TRUE(FaxPageTiff(i, dir.path(), tif));
    pages += ' ';
    pages += tif.string();
  }
  std::string join = "tiffcp";  // built by appending: GCC 12 warns falsely on chained additions
  join += pages;
  join += ' ';
  join += (in / "fax3.tif").string();
  ASSERT_TRUE(Shell(join));

  vorlane::LoadedImage fax = vorlane::LoadPage(ref / "fax3-p0001.tif");
  ASSERT_TRUE(fax.image) << fax.error;
  const picturetest::Picture grey = GreyOf(*fax.image);
  ASSERT_TRUE(WriteGreyTiff(in / "grey4.tif", grey, 4));
  ASSERT_TRUE(WriteGreyTiff(in / "grey16.tif", grey, 16, COMPRESSION_LZW));
  ASSERT_TRUE(WriteGreyTiff(in / "jpegtiff.tif", grey, 8, COMPRESSION_JPEG));
  ASSERT_TRUE(picturetest::WriteJpeg((in / "photo.jpg").string(), grey, 85));
  ASSERT_TRUE(picturetest::WritePng((in / "scan.png").string(), grey));
  for (const char* name : {"grey4.tif", "grey16.tif", "jpegtiff.tif", "photo.jpg", "scan.png"})
    CopyAsTiff(in / name, ref / fs::path(name).replace_extension(".tif"));
  // The 4-bit page is the 8-bit page's levels cut to 16, and the 16-bit page the 8-bit page.
  vorlane::LoadedImage four = vorlane::LoadPage(ref / "grey4.tif");
  ASSERT_TRUE(four.image);
  const auto* levels = vorlane::detail::FormatAccess::View(four.image.get()).rows;
  EXPECT_EQ(levels[10][100], (grey.samples[10 * grey.width + 100] >> 4) * 17);

  vorlane::pipeline::RunSettings settings;
  settings.writeViews = false;
  settings.dpi = 200;
  vorlane::pipeline::Observer never;
  settings.outDir = dir / "out";
  fs::create_directories(settings.outDir);
  const auto results =
      vorlane::pipeline::RunBatch(vorlane::pipeline::ExpandInputs({in.string()}), settings, never);
  ASSERT_EQ(results.size(), 8u);  // 3 fax pages and 5 grey ones
  settings.outDir = dir / "out-ref";
  fs::create_directories(settings.outDir);
  const auto references =
      vorlane::pipeline::RunBatch(vorlane::pipeline::ExpandInputs({ref.string()}), settings, never);
  const std::map<std::string, int> got = Components(results), want = Components(references);
  EXPECT_EQ(got, want);
  for (const auto& [name, count] : got) EXPECT_GT(count, 50) << name;

  // The Group 4 results read back as the bi-level pages of the archives.
  for (const char* stem : {"fax3-p0002", "grey4"}) {
    vorlane::LoadedImage g4 = vorlane::LoadPage(dir / "out" / (std::string(stem) + "-bilevel.tif"));
    vorlane::LoadedImage vlx = vorlane::LoadPage(dir / "out" / (std::string(stem) + "-result.vlx"));
    ASSERT_TRUE(g4.image && vlx.image) << g4.error << vlx.error;
    const auto a = vorlane::detail::FormatAccess::View(g4.image.get());
    const auto b = vorlane::detail::FormatAccess::View(vlx.image.get());
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (int y = 0; y < a.height; ++y)
      ASSERT_EQ(std::memcmp(a.rows[y], b.rows[y], static_cast<size_t>(a.width)), 0) << y;
    EXPECT_EQ(g4.image->GetDPI(), 200);
  }
}

}  // namespace

// Lines of text turned far, near the end of the range, blur within the narrow strips that
// the estimate counts: the fax pages of Latin and of Japanese text are still trusted there,
// and agree with their unturned estimate to within 0.2 degrees.
TEST(RealPages, TextTurnedNearTheEndOfTheRangeIsTrusted) {
  if (!fs::exists(kFaxPages / "ccitt7.jbg") || !Shell("command -v jbgtopbm ppm2tiff"))
    GTEST_SKIP() << "jbigkit-testdata, jbigkit-bin or libtiff-tools is not installed";
  pipetest::ScratchDir dir;
  for (const int n : {1, 7}) {
    const fs::path tif = dir / "page.tif";
    ASSERT_TRUE(FaxPageTiff(n, dir.path(), tif));
    vorlane::LoadedImage page = vorlane::LoadPage(tif);
    ASSERT_TRUE(page.image) << page.error;
    const double base = vorlane::EstimateSkew(*page.image).angleDegrees;
    for (const double degrees : {-14.0, 13.0}) {
      CBiLevelImage turned;
      ASSERT_TRUE(turned.CreateDuplicate(page.image.get(), FALSE));
      turned.Rotate(-degrees * 3.14159265358979323846 / 180.0, RGB(255, 255, 255), 1);
      const vorlane::SkewEstimate e = vorlane::EstimateSkew(turned);
      EXPECT_TRUE(e.trusted) << "ccitt" << n << " at " << degrees << ": " << e.confidence;
      EXPECT_NEAR(e.angleDegrees, base + degrees, 0.2) << "ccitt" << n;
    }
  }
}

// At half its resolution the fax letter's skew (0.2 degrees) moves the coarse rows of the
// search by less than a row, so the smallest angles tie there: the estimate still finds the
// angle of the full page, not the first of the tied ones.
TEST(RealPages, SmallSkewOfAPageAtHalfResolutionIsFound) {
  if (!fs::exists(kFaxPages / "ccitt1.jbg") || !Shell("command -v jbgtopbm ppm2tiff"))
    GTEST_SKIP() << "jbigkit-testdata, jbigkit-bin or libtiff-tools is not installed";
  pipetest::ScratchDir dir;
  const fs::path tif = dir / "page.tif", half = dir / "half.tif";
  ASSERT_TRUE(FaxPageTiff(1, dir.path(), tif));
  vorlane::LoadedImage page = vorlane::LoadPage(tif);
  ASSERT_TRUE(page.image) << page.error;
  ASSERT_TRUE(WriteGreyTiff(half, GreyOf(*page.image), 8));
  vorlane::LoadedImage grey = vorlane::LoadPage(half);
  ASSERT_TRUE(grey.image) << grey.error;
  const vorlane::SkewEstimate full = vorlane::EstimateSkew(*page.image);
  const vorlane::SkewEstimate e = vorlane::EstimateSkew(*grey.image);
  ASSERT_TRUE(full.trusted && e.trusted);
  EXPECT_NEAR(e.angleDegrees, full.angleDegrees, 0.05);
}
