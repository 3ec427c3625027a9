// The tool on bad inputs and interrupted runs: one line naming the file and the problem,
// the documented exit code, nothing half-written.
#include <gtest/gtest.h>

#include "support/tiff_files.h"
#include "tool_rig.h"

namespace tooltest {
namespace {

struct BadCase {
  const char* name;
  const char* args;
  int exitCode;
  const char* message;  // the line on standard error
};

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, GivesOneClearLineAndItsExitCode) {
  ScratchDir dir;
  std::ofstream(dir / "garbage.tif") << "II*\0this is no TIFF";
  std::ofstream(dir / "garbage.vlx") << "not an archive at all";
  std::ofstream(dir / "notes.txt") << "text";
  std::ofstream(dir / "afile") << "x";
  const ToolRun run = RunTool(dir, GetParam().args);
  EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "out") && !fs::is_empty(dir / "out"));
}

const BadCase kBadCases[] = {
    {"Missing", "process missing.tif -o out", 1, "vorlane: missing.tif: no such file"},
    {"WrongKind", "process notes.txt -o out", 1, "vorlane: notes.txt: unsupported kind of file"},
    {"DamagedTiff", "process garbage.tif -o out", 1,
     "vorlane: garbage.tif: not a TIFF image the library reads"},
    {"DamagedArchive", "info garbage.vlx", 1,
     "vorlane: garbage.vlx: damaged or not a page archive"},
    {"UnknownThreshold", "process garbage.tif -o out --threshold otsu", 2,
     "unknown threshold \"otsu\""},
    {"GlobalWithoutValue", "process garbage.tif -o out --threshold global", 2,
     "a global threshold needs a value from 0 to 255"},
    {"BadConnectivity", "process garbage.tif -o out --connectivity 6", 2, "--connectivity"},
    {"OutputIsAFile", "process garbage.tif -o afile", 1,
     "vorlane: afile: cannot make the output folder"},
    {"NoSubcommand", "", 2, "vorlane: A subcommand is required"},
    {"EmptyFolder", "process out -o out", 1, "no page files"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BadInput, ::testing::ValuesIn(kBadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadInputInBatch, OneBadFileDoesNotStopTheOthers) {
  ScratchDir dir;
  WriteTiff(*SmallPage(false, 100, 80), dir / "good.tif");
  std::ofstream(dir / "bad.tif") << "junk";
  const ToolRun run = RunTool(dir, "process bad.tif good.tif missing.vlx -o out -q");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("vorlane: bad.tif: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("vorlane: missing.vlx: no such file"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(dir / "out/good-report.json"));
  EXPECT_FALSE(fs::exists(dir / "out/bad-report.json"));
}

TEST(BadInputInBatch, ADamagedPageLeavesTheOtherPagesOfItsFile) {
  ScratchDir dir;
  tifftest::TiffFlavour f{120, 90, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW};
  std::vector<tifftest::Page> pages(3, tifftest::MakePage(f, [](uint32_t x, uint32_t y, int) {
                                      return (x / 9 + y / 7) % 3 ? 230u : 20u;
                                    }));
  ASSERT_TRUE(tifftest::WriteTiffFile((dir / "fax.tif").string(), f, pages));
  ASSERT_TRUE(tifftest::DamageFirstStrip((dir / "fax.tif").string(), 1));
  const ToolRun run = RunTool(dir, "process fax.tif -o out -q");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("vorlane: fax.tif page 2: damaged"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("fax.tif page 3: "), std::string::npos) << run.out;
  for (const char* report : {"out/fax-p0001-report.json", "out/fax-p0003-report.json"})
    EXPECT_TRUE(fs::exists(dir / report)) << report;
  EXPECT_FALSE(fs::exists(dir / "out/fax-p0002-report.json"));

  // --pages picks pages by number; a selection the file lacks is that file's failure.
  const ToolRun third = RunTool(dir, "process fax.tif -o picked -q --pages 3");
  EXPECT_EQ(third.exitCode, 0) << third.err;
  EXPECT_TRUE(fs::exists(dir / "picked/fax-p0003-report.json"));
  EXPECT_FALSE(fs::exists(dir / "picked/fax-p0001-report.json"));
  const ToolRun none = RunTool(dir, "process fax.tif -o picked -q --pages 7-9");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("the selected pages are not in the file (it has 3 pages)"),
            std::string::npos)
      << none.err;
  EXPECT_EQ(RunTool(dir, "process fax.tif -o picked --pages 2-1").exitCode, 2);
}

TEST(Interrupt, CtrlCStopsTheToolWithItsExitCode) {
  ScratchDir dir;
  // A demo page of four A4 pages' area takes seconds: the signal, after half a second,
  // arrives while it is drawn or processed, however fast the machine.
  // --foreground: one signal to the tool alone, as a single Ctrl-C; otherwise timeout also
  // signals its process group and the second signal takes the tool's immediate way out.
  const ToolRun run = RunTool(dir, "demo -o out -q --size 4960x7016",
                              "timeout --foreground --preserve-status -s INT 0.5 ");
  EXPECT_EQ(run.exitCode, 130) << run.err;
  EXPECT_NE(run.err.find("vorlane: interrupted"), std::string::npos) << run.err;
  EXPECT_TRUE(!fs::exists(dir / "out") || fs::is_empty(dir / "out"));
}

}  // namespace
}  // namespace tooltest
