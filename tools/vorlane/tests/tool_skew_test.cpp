// The skew subcommand and automatic deskew in the road: the demo page's 1.5 degrees are found,
// undone in the outputs, and reported; blank pages are left alone; bad angles are refused.
#include <gtest/gtest.h>

#include "tool_rig.h"

namespace tooltest {
namespace {

TEST(Skew, DemoPageIsFoundTurnedBackAndReported) {
  ScratchDir dir;
  WriteTiff(*SmallPage(false, 1240, 1754), dir / "page.tif");
  ToolRun run = RunTool(dir, "skew page.tif --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto estimate = nlohmann::json::parse(run.out);
  EXPECT_TRUE(estimate["trusted"]);
  EXPECT_NEAR(estimate["angle_deg"].get<double>(), 1.5, 0.1);
  EXPECT_GT(estimate["confidence"].get<double>(), 0.5);

  run = RunTool(dir, "process page.tif -o out -q --no-views --deskew auto");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectFields(ReadJson(dir / "out/page-report.json"),
               {{"/angle", estimate["angle_deg"]}, {"/skew", estimate}, {"/width", 1240}});
  // The straightened page has no skew left.
  run = RunTool(dir, "skew out/page-bilevel.tif");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("skew: 0.0") || run.out.starts_with("skew: -0.0")) << run.out;
}

TEST(Skew, BlankPagesAreNotTurnedAndBadAnglesAreRefused) {
  ScratchDir dir;
  CGreyScaleImage blank;
  blank.Create(400, 300, RGB(240, 240, 240), L"blank");
  WriteTiff(blank, dir / "blank.tif");
  ToolRun run = RunTool(dir, "skew blank.tif");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "skew: 0.00 degrees, confidence 0.00 (not trusted: blank)\n");
  run = RunTool(dir, "process blank.tif -o out -q --no-views --deskew auto --report");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("report: out/index.html"), std::string::npos) << run.out;
  ExpectFields(ReadJson(dir / "out/blank-report.json"),
               {{"/angle", 0.0}, {"/skew/trusted", false}, {"/skew/reason", "blank"}});
  EXPECT_NE(ReadFile(dir / "out/index.html").find("(not trusted: blank)"), std::string::npos);
  for (const char* bad : {"sideways", "200", "1.5x", "nan"}) {
    run = RunTool(dir, std::string("process blank.tif -o out2 -q --deskew ") + bad);
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_NE(run.err.find("vorlane: --deskew: expected auto or an angle"), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(RunTool(dir, "skew missing.tif").exitCode, 1);
}

}  // namespace
}  // namespace tooltest
