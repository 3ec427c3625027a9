// The words of the tool, the Python module and the reports: method texts with their values,
// format names and page outcomes.
#include <gtest/gtest.h>

#include "vorlane/pipeline/vocabulary.h"
#include "vorlane/process.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::ThresholdMethod;

struct MethodCase {
  const char* text;
  ThresholdMethod method;
  int halfWindow;
  int globalThreshold;
  const char* problem;  // empty: accepted
};

const MethodCase kMethodCases[] = {
    {"niblack", ThresholdMethod::niblack, 0, 128, ""},
    {"niblack:7", ThresholdMethod::niblack, 7, 128, ""},
    {"niblack:1000", ThresholdMethod::niblack, 1000, 128, ""},
    {"weszka", ThresholdMethod::weszka, 9, 128, ""},
    {"global:0", ThresholdMethod::global, 9, 0, ""},
    {"global:255", ThresholdMethod::global, 9, 255, ""},
    {"niblack:0", {}, 0, 0, "the Niblack half window must be a whole number from 1 to 1000"},
    {"niblack:", {}, 0, 0, "the Niblack half window must be a whole number from 1 to 1000"},
    {"niblack:-3", {}, 0, 0, "the Niblack half window must be a whole number from 1 to 1000"},
    {"global", {}, 0, 0, "a global threshold needs a value from 0 to 255 (global:T)"},
    {"global:256", {}, 0, 0, "a global threshold needs a value from 0 to 255 (global:T)"},
    {"global:00128", {}, 0, 0, "a global threshold needs a value from 0 to 255 (global:T)"},
    {"weszka:3",
     {},
     0,
     0,
     "unknown threshold \"weszka:3\" (niblack[:HALFWINDOW], weszka or global:T)"},
    {"otsu", {}, 0, 0, "unknown threshold \"otsu\" (niblack[:HALFWINDOW], weszka or global:T)"},
    {"Niblack",
     {},
     0,
     0,
     "unknown threshold \"Niblack\" (niblack[:HALFWINDOW], weszka or global:T)"},
};

TEST(MethodText, IsReadWithItsValueOrGivesTheProblem) {
  for (const MethodCase& c : kMethodCases) {
    SCOPED_TRACE(c.text);
    vorlane::ProcessOptions options;
    options.halfWindow = 9;
    const std::string problem = vorlane::pipeline::ParseMethod(c.text, options);
    EXPECT_EQ(problem, c.problem);
    if (!problem.empty()) continue;
    EXPECT_EQ(options.method, c.method);
    EXPECT_EQ(options.halfWindow, c.halfWindow);
    EXPECT_EQ(options.globalThreshold, c.globalThreshold);
    // The name of the method reads back as the method.
    EXPECT_EQ(vorlane::pipeline::MethodFromName(vorlane::MethodName(c.method)), c.method);
  }
  EXPECT_EQ(vorlane::pipeline::MethodNames().size(), 3u);
  vorlane::ProcessOptions options;
  EXPECT_NE(vorlane::pipeline::ChooseMethod(ThresholdMethod::weszka, 3, options), "");
}

TEST(FormatNames, DifferOnlyForBiLevelAndFollowTheImageClass) {
  using vorlane::pipeline::PageFormat;
  CBiLevelImage bilevel;
  CGreyScaleImage grey;
  CLoColorImage palette;
  CHiColorImage colour;
  const struct {
    const CImage* image;
    PageFormat format;
    const char* report;
    const char* python;
  } cases[] = {{&bilevel, PageFormat::bilevel, "bi-level", "bilevel"},
               {&grey, PageFormat::greyscale, "greyscale", "greyscale"},
               {&palette, PageFormat::palette, "palette", "palette"},
               {&colour, PageFormat::colour, "colour", "colour"}};
  ASSERT_EQ(vorlane::pipeline::Formats().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& names = vorlane::pipeline::Formats()[i];
    EXPECT_EQ(vorlane::pipeline::FormatOf(*cases[i].image), cases[i].format);
    EXPECT_EQ(names.format, cases[i].format);
    EXPECT_STREQ(names.report, cases[i].report);
    EXPECT_STREQ(names.python, cases[i].python);
    EXPECT_STREQ(vorlane::pipeline::FormatName(*cases[i].image), cases[i].report);
  }
  EXPECT_STREQ(vorlane::pipeline::NamesOf(PageFormat::none).report, "unknown");
  EXPECT_STREQ(vorlane::pipeline::NamesOf(PageFormat::none).python, "none");
}

TEST(PageOutcomes, HaveTheNamesOfTheBatchResults) {
  using vorlane::pipeline::PageOutcome;
  EXPECT_STREQ(vorlane::pipeline::OutcomeName(PageOutcome::written), "written");
  EXPECT_STREQ(vorlane::pipeline::OutcomeName(PageOutcome::skipped), "skipped");
  EXPECT_STREQ(vorlane::pipeline::OutcomeName(PageOutcome::failed), "failed");
  EXPECT_STREQ(vorlane::pipeline::OutcomeName(PageOutcome::cancelled), "cancelled");
  EXPECT_EQ(vorlane::pipeline::Cancelled().outcome, PageOutcome::cancelled);
  EXPECT_EQ(vorlane::pipeline::Failed("why").message, "why");
}

}  // namespace
