// The tool run on generated pages: what it writes, how the outputs agree, and the views and
// archive facts that show and info give of them.
#include <gtest/gtest.h>
#include <vorlane/pipeline/page_loading.h>

#include <nlohmann/json.hpp>
#include <set>

#include "tool_rig.h"

namespace tooltest {
namespace {

// A colour page (the grey ones of the batch test share its road from the grey copy on).
TEST(ProcessOutputs, AgreeWithEachOtherAndLeaveNoTemporaryFile) {
  ScratchDir dir;
  WriteTiff(*SmallPage(true), dir / "page.tif");
  const ToolRun run = RunTool(dir, "process page.tif -o out --quiet --threshold niblack:7");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("page.tif: "), std::string::npos);

  const auto json = ReadJson(dir / "out/page-report.json");
  ExpectFields(json, R"({"/format": "colour", "/input": "page.tif", "/width": 310, "/height": 438,
      "/resolution": null, "/method": "niblack", "/parameters/half_window": 7,
      "/connectivity": 8, "/page_index": 0})"_json);
  // Every field and every output, no more.
  const auto keys = [](const nlohmann::json& object) {
    std::set<std::string> out;
    for (const auto& [key, value] : object.items()) out.insert(key);
    return out;
  };
  EXPECT_EQ(keys(json),
            (std::set<std::string>{"input", "page_index", "page_count", "format", "width", "height",
                                   "resolution", "method", "parameters", "threshold", "angle",
                                   "connectivity", "component_count", "components", "outputs",
                                   "seconds"}));
  EXPECT_EQ(json["outputs"],
            R"({"bilevel_tiff": "page-bilevel.tif", "archive": "page-result.vlx",
                "overlay_png": "page-overlay.png", "components_png": "page-components.png",
                "thumbnail_png": "page-thumbnail.png", "bilevel_png": "page-bilevel.png"})"_json);
  EXPECT_GT(json["seconds"].get<double>(), 0.0);
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir / "out"))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"page-bilevel.tif", "page-result.vlx", "page-overlay.png",
                                          "page-components.png", "page-thumbnail.png",
                                          "page-bilevel.png", "page-report.json"}));

  vorlane::pipeline::LoadedPage archive = vorlane::pipeline::LoadPage(dir / "out/page-result.vlx");
  ASSERT_TRUE(archive.image) << archive.error;
  ASSERT_TRUE(archive.image->IsType(IMAGE_TYPE_BILEVEL));
  const int count = archive.image->GetMaxComponent();
  EXPECT_EQ(json["component_count"], count);
  ASSERT_EQ(json["components"].size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    CComp* comp = archive.image->GetComponent(i);
    const auto& c = json["components"][static_cast<size_t>(i)];
    EXPECT_EQ(c["left"], comp->GetBoundingRect().left);
    EXPECT_EQ(c["size"], comp->GetSize());
  }
  EXPECT_NE(archive.image->GetImageMap(L"Standard"), nullptr);

  // The bi-level TIFF is the archived page, pixel for pixel.
  vorlane::pipeline::LoadedPage tiff = vorlane::pipeline::LoadPage(dir / "out/page-bilevel.tif");
  ASSERT_TRUE(tiff.image) << tiff.error;
  ASSERT_TRUE(tiff.image->IsType(IMAGE_TYPE_BILEVEL));
  ASSERT_EQ(tiff.image->GetWidth(), 310);
  ASSERT_EQ(tiff.image->GetHeight(), 438);
  long differing = 0, black = 0;
  for (int y = 0; y < 438; ++y)
    for (int x = 0; x < 310; ++x) {
      differing += tiff.image->GetRed(x, y) != archive.image->GetRed(x, y);
      black += tiff.image->GetRed(x, y) == 0;
    }
  EXPECT_EQ(differing, 0);
  // So is the bi-level view.
  DecodedPng view;
  ASSERT_TRUE(ReadPng(dir / "out/page-bilevel.png", view));
  ASSERT_EQ(view.width * view.height, 310 * 438);
  for (int y = 0; y < 438; ++y)
    for (int x = 0; x < 310; ++x)
      differing += view.pixels[static_cast<size_t>(y) * 310 + x] !=
                   (tiff.image->GetRed(x, y) ? 0x00FFFFFFu : 0u);
  EXPECT_EQ(differing, 0);

  // The views decode to the page's and the thumbnail's sizes, as do those of the show command.
  EXPECT_EQ(DecodedPngSize(dir / "out/page-overlay.png"), std::make_pair(310, 438));
  EXPECT_EQ(DecodedPngSize(dir / "out/page-components.png"), std::make_pair(310, 438));
  EXPECT_EQ(DecodedPngSize(dir / "out/page-thumbnail.png"), std::make_pair(100, 100));
  ASSERT_EQ(RunTool(dir, "show out/page-result.vlx -o view.png --maps --components").exitCode, 0);
  EXPECT_EQ(DecodedPngSize(dir / "view.png"), std::make_pair(310, 438));
  ASSERT_EQ(RunTool(dir, "show page.tif -o thumb.png --thumbnail").exitCode, 0);
  EXPECT_EQ(DecodedPngSize(dir / "thumb.png"), std::make_pair(100, 100));
  // The info command tells the archive's format, size, maps and component count.
  const ToolRun info = RunTool(dir, "info out/page-result.vlx");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  for (const std::string& line :
       {std::string("format:      archive, bi-level"), std::string("size:        310 x 438"),
        std::string("\"Standard\" (bit labels, current)"), "components:  " + std::to_string(count)})
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;

  EXPECT_GT(count, 50);  // glyphs, stamp marks and punch holes
  EXPECT_GT(black, 0);
}

TEST(ProcessBatch, ParallelJobsSkipExistingAndOptionsReachTheReport) {
  ScratchDir dir;
  fs::create_directories(dir / "in");
  for (const char* name : {"a", "b", "c"})
    WriteTiff(*SmallPage(false, 120, 90), dir / "in" / (std::string(name) + ".tif"));
  ToolRun run = RunTool(dir,
                        "process in -o out -j 2 -q --threshold global:140 --connectivity 4 "
                        "--deskew 2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* name : {"a", "b", "c"}) {
    SCOPED_TRACE(name);  // the turned page keeps its width
    ExpectFields(ReadJson(dir / "out" / (std::string(name) + "-report.json")),
                 R"({"/format": "greyscale", "/method": "global", "/threshold": 140,
                     "/connectivity": 4, "/angle": 2.0, "/width": 120})"_json);
  }
  fs::remove(dir / "out/b-report.json");
  run = RunTool(dir, "process in -o out --skip-existing -q");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("a.tif: skipped"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("b.tif: skipped"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(dir / "out/b-report.json"));
}

TEST(DemoCommand, WritesThePageOutputsAndListsThem) {
  ScratchDir dir;
  const ToolRun run =
      RunTool(dir, "demo --size 248x351 -o demo-out --save-page --progress=plain --report");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("demo-out/demo-report.json"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nreport: demo-out/index.html\n"), std::string::npos) << run.out;
  EXPECT_NE(ReadFile(dir / "demo-out/index.html").find("data-stem=\"demo\""), std::string::npos);
  EXPECT_NE(run.err.find("demo: threshold"), std::string::npos) << run.err;  // one line a step
  EXPECT_TRUE(fs::exists(dir / "demo-out/demo-page.tif"));
  ExpectFields(ReadJson(dir / "demo-out/demo-report.json"),
               {{"/resolution", 300}, {"/parameters/half_window", 15}});  // 300 dpi / 20
}

}  // namespace
}  // namespace tooltest
