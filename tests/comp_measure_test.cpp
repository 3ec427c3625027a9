// CComp measurements: size, centre, box, colour, borders, connections, incremental caches
// and trace output.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/comp_pixel_set.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::PixelSet;
using comp_reference::Points;
using comp_reference::SamePoints;

int OutsideNeighbours(const PixelSet& set) {
  int n = 0;
  comp_reference::ForOutsideNeighbours(set, [&](const auto&, const auto&) { ++n; });
  return n;
}

TEST(CompMeasurements, EmptyComponentAnswersItsMarkers) {
  CComp c;
  EXPECT_EQ((std::vector<float>{c.GetCenterX(), c.GetCenterY()}),
            (std::vector<float>{-5.5f, -5.5f}));
  EXPECT_EQ(c.GetBoundingRect(), CRect(0, 0, 0, 0));
  EXPECT_EQ(c.GetColorRGB(), 0xFF000000u);
  EXPECT_EQ((std::vector<int>{c.GetSize(), c.GetWidth(), c.GetHeight(), c.GetMaxExternalBorder(),
                              c.GetMaxInternalBorder(), c.GetExternalConnections(),
                              c.GetInternalConnections(), c.GetMaxBoundary()}),
            std::vector<int>(8, 0));
  EXPECT_TRUE(c.GetExternalBorder() == nullptr && c.GetBoundary(TRUE) == nullptr);
}

TEST(CompMeasurements, BordersAndConnectionsMatchAPixelSetModel) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 30; ++trial) {
    CComp a, b;
    comp_reference::FillRandom(a, rng, 12, 16, 7);
    comp_reference::FillRandom(b, rng, 12, 16, 7);
    const PixelSet sa = comp_reference::FromComp(a);
    const PixelSet sb = comp_reference::FromComp(b);
    ASSERT_TRUE(SamePoints(a.GetExternalBorder(), a.GetMaxExternalBorder(),
                           Points(comp_reference::ExternalBorder(sa))));
    ASSERT_TRUE(SamePoints(a.GetInternalBorder(), a.GetMaxInternalBorder(),
                           Points(comp_reference::InternalBorder(sa))));
    ASSERT_EQ(a.GetExternalConnections(), OutsideNeighbours(sa));
    ASSERT_EQ(a.GetInternalConnections(), comp_reference::AdjacentPairs(sa, sa));
    ASSERT_EQ(a.ComputeConnections(b), comp_reference::AdjacentPairs(sa, sb));
    ASSERT_EQ(a.ComputeConnections(&b), b.ComputeConnections(a));
    ASSERT_EQ(a.ComputeOverlapping(b), static_cast<int>(comp_reference::Intersect(sa, sb).size()));
  }
}

TEST(CompIncrementalCaches, SizeBoxAndExternalBorderEqualAFreshComputation) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 40; ++trial) {
    CComp c;
    for (const auto& r : comp_reference::RandomSpans(rng, 25, 30, 9)) {
      c.AddRun(r.y - 3, r.xl - 5, r.xr - 5, TRUE);
      CComp fresh(c);
      fresh.ResetAttributes();
      ASSERT_TRUE(c.GetSize() == fresh.GetSize() && c.GetBoundingRect() == fresh.GetBoundingRect());
      ASSERT_NEAR(c.GetCenterX(), fresh.GetCenterX(), 1e-3);
      ASSERT_NEAR(c.GetCenterY(), fresh.GetCenterY(), 1e-3);
      const POINT* border = fresh.GetExternalBorder();
      ASSERT_TRUE(SamePoints(c.GetExternalBorder(), c.GetMaxExternalBorder(),
                             {border, border + fresh.GetMaxExternalBorder()}));
    }
  }
}

TEST(CompIncrementalCaches, BoxAtTheOriginAndRunningColourTruncatedAtEveryStep) {
  // A box of (0, 0, 0, 0) is a real box once the component has pixels.
  CComp box;
  box.AddRun(0, 0, 0, TRUE);
  box.AddRun(5, 3, 4, TRUE);
  EXPECT_EQ(box.GetBoundingRect(), CRect(0, 0, 4, 5));
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(5, 1, 0, L"g"), 1);
  for (int x = 1; x < 5; ++x) image.SetRGBColor(x, 0, 0x00030303);
  CComp c;
  c.SetImageReference(&image);
  c.AddRun(0, 0, 1, TRUE);  // pixels 0 and 3
  EXPECT_EQ(c.GetColorRGB(), 0x00010101u);
  for (int x = 2; x < 5; ++x) c.AddRun(0, x, x, TRUE);
  EXPECT_EQ(c.GetColorRGB(), 0x00010101u);
  CComp fresh(c);
  fresh.SetImageReference(nullptr);
  fresh.SetImageReference(&image);
  EXPECT_EQ(fresh.GetColorRGB(), 0x00020202u);
  // A black pixel outside the image: (1 * 5 + 0) / 6 = 0; taking it away again keeps the
  // truncated value, (0 * 6 - 0) / 5 = 0.
  c.AddRun(2, 0, 0, TRUE);
  EXPECT_EQ(c.GetColorRGB(), 0u);
  EXPECT_EQ(c.RemoveRun(-11, TRUE), 1);
  EXPECT_TRUE(c.GetSize() == 5 && c.GetColorRGB() == 0u);
}

TEST(CompColour, AverageOfTheImagePixelsAndItsHls) {
  CHiColorImage image;
  ASSERT_EQ(image.Create(4, 2, 0, L"rgb"), 1);
  image.SetRGBColor(0, 0, RGB(200, 10, 0));
  image.SetRGBColor(1, 0, RGB(101, 20, 3));
  image.SetRGBColor(0, 1, RGB(0, 30, 0));
  CComp c;
  c.SetImageReference(&image);
  c.AddRun(0, 0, 1, FALSE);
  c.AddRun(1, 0, 0, FALSE);
  EXPECT_EQ(c.GetColorRGB(), RGB(100, 20, 1));
  float h = 0, l = 0, s = 0;
  TT_RGB2HLS(100.0f, 20.0f, 1.0f, &h, &l, &s, 36);
  EXPECT_EQ(c.GetColorHLS(), (int(h) & 0xFFu) | (int(l) & 0xFFu) << 8 | (int(s) & 0xFFu) << 16);
}

TEST(CompTrace, InfoLinesOfASinglePixel) {
  CComp c;
  c.AddPoint(2, 1);
  TraceCapture trace;
  c.TraceInfo();
  std::vector<std::string> expected = {"Center : 2.000000, 1.000000\n",
                                       "Color  : Undefined\n",
                                       "Size   : 1\n",
                                       "Bounding Rect: Undefined\n",
                                       "Number of Runs: 1\n",
                                       "Number of extBorder Pixels: 8\n",
                                       "Number of intBorder Pixels: 1\n",
                                       "External Connections : 8\n",
                                       "Internal Connections : 0\n"};
  EXPECT_EQ(trace.Lines(), expected);
  c.GetBoundingRect();
  trace.Clear();
  c.TraceInfo();
  expected[3] = "Bounding Rect: (2, 1) - (2, 1)\n";
  EXPECT_EQ(trace.Lines(), expected);
}

}  // namespace
