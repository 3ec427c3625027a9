// The HTML report written from a fabricated output folder: which pages it lists, what it says
// of each, which pictures it references and how failures show.
#include <gtest/gtest.h>
#include <unistd.h>
#include <vorlane/pipeline/html_report.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class HtmlReport : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir_ = fs::temp_directory_path() /
           ("vorlane-report-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // A processed page with two components, from scans/STEM.tif unless input says otherwise;
  // extra is spliced into the report's object.
  void WritePage(const std::string& stem, const std::string& extra = "",
                 const std::string& input = "") {
    Write(stem + "-report.json", R"({"input": ")" +
                                     (input.empty() ? "scans/" + stem + ".tif" : input) +
                                     R"(", "format": "grey", "width": 40,
              "height": 30, "resolution": 300, "method": "niblack",
              "parameters": {"half_window": 15}, "threshold": null, "angle": 1.25,
              "skew": {"angle_deg": 1.25, "confidence": 0.75, "trusted": true},
              "connectivity": 8, "component_count": 2, )" +
                                     extra + R"( "components": [
              {"left": 1, "top": 2, "width": 3, "height": 4, "size": 7,
               "centre": {"x": 2.125, "y": 3.5}},
              {"left": 10, "top": 12, "width": 20, "height": 9, "size": 120,
               "centre": {"x": 19.0, "y": 16.333333}}]})");
    Write(stem + "-overlay.png", "png");
    Write(stem + "-thumbnail.png", "png");
  }
  std::string Report(vorlane::HtmlReportSummary* summary = nullptr) {
    const std::string error = vorlane::WriteHtmlReport(dir_, summary);
    EXPECT_EQ(error, "");
    return Read("index.html");
  }

  fs::path dir_;
};

TEST_F(HtmlReport, ListsProcessedAndFailedPagesWithTheirFacts) {
  WritePage("alpha");
  ASSERT_TRUE(vorlane::WritePageError(dir_, "beta", "scans/beta.tif", 3, "not a <TIFF> file"));
  vorlane::HtmlReportSummary summary;
  const std::string index = Report(&summary);
  EXPECT_EQ(summary.pages, 2);
  EXPECT_EQ(summary.failed, 1);
  for (const char* want :
       {"2 pages, 1 failed, 2 components", "data-stem=\"alpha\"", "data-stem=\"beta\"",
        "scans/alpha.tif", "40 \u00d7 30 px", "300 dpi", "niblack, half_window 15",
        "1.25\u00b0, confidence 0.75", "data-fact=\"component_count\">2<",
        "href=\"report/page-alpha.html\"", "<img src=\"alpha-thumbnail.png\"",
        "<p class=\"error\">not a &lt;TIFF&gt; file</p>", "scans/beta.tif",
        "data-fact=\"page_index\">4<"})
    EXPECT_NE(index.find(want), std::string::npos) << want;
  // A failed page has no page view to go to.
  EXPECT_EQ(index.find("page-beta.html"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "report" / "page-beta.html"));
  for (const char* file : {"report.css", "report.js", "page-alpha.html", "page-alpha.js"})
    EXPECT_GT(fs::file_size(dir_ / "report" / file), 0u) << file;
}

TEST_F(HtmlReport, PageDataHoldsTheComponentsAndOnlyThePicturesThatExist) {
  WritePage("alpha");
  Write("alpha-bilevel.png", "png");
  Report();
  const std::string data = Read("report/page-alpha.js");
  EXPECT_EQ(data.rfind("window.vorlanePage = {", 0), 0u);
  EXPECT_NE(data.find("[[1,2,3,4,7,2.13,3.5],[10,12,20,9,120,19.0,16.33]]"), std::string::npos);
  EXPECT_NE(data.find("\"src\":\"../alpha-overlay.png\""), std::string::npos);
  EXPECT_NE(data.find("\"src\":\"../alpha-bilevel.png\""), std::string::npos);
  EXPECT_EQ(data.find("alpha-components.png"), std::string::npos);
  EXPECT_EQ(data.find("alpha-grey.png"), std::string::npos);
  const std::string view = Read("report/page-alpha.html");
  EXPECT_NE(view.find("<script src=\"page-alpha.js\"></script>"), std::string::npos);
  EXPECT_NE(view.find("<script src=\"report.js\"></script>"), std::string::npos);
  EXPECT_EQ(view.find("http"), std::string::npos) << "nothing outside the folder";
}

TEST_F(HtmlReport, NeighboursFollowTheInputsThenThePageIndex) {
  WritePage("a", R"("page_index": 2,)", "scans/book.tif");
  WritePage("b", R"("page_index": 1,)", "scans/book.tif");
  WritePage("c", "", "scans/atlas.tif");
  WritePage("d");
  Report();
  EXPECT_EQ(Read("report/pages.js"),
            "window.vorlaneOrder = [\"page-c.html\",\"page-b.html\",\"page-a.html\","
            "\"page-d.html\"];\n");
  EXPECT_NE(Read("report/page-b.html").find("<script src=\"pages.js\">"), std::string::npos);
  EXPECT_NE(Read("report/page-b.js").find("\"view\":\"page-b.html\""), std::string::npos);
}

TEST_F(HtmlReport, TimesAreShownAndChartedWhenRecorded) {
  WritePage("fast", R"("seconds": 0.5,)");
  WritePage("slow", R"("stages": [{"name": "grey", "seconds": 1.0},
                                  {"name": "components", "seconds": 1.5}],)");
  WritePage("untimed");
  const std::string index = Report();
  EXPECT_NE(index.find("3.000 s in all"), std::string::npos);
  EXPECT_NE(index.find("id=\"time-figure\""), std::string::npos);
  EXPECT_NE(index.find("<title>slow: 2.500 s</title>"), std::string::npos);
  EXPECT_NE(index.find("<title>fast: 0.500 s</title>"), std::string::npos);
  EXPECT_EQ(index.find("<title>untimed"), std::string::npos);
  EXPECT_NE(index.find("not recorded"), std::string::npos);
}

TEST_F(HtmlReport, TheNewerOfReportAndErrorRecordCounts) {
  WritePage("redone");
  Write("redone-error.json", R"({"input": "redone.tif", "error": "old failure"})");
  WritePage("broken");
  Write("broken-error.json", R"({"input": "broken.tif", "error": "new failure"})");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time(dir_ / "redone-error.json", now - std::chrono::hours(1));
  fs::last_write_time(dir_ / "broken-report.json", now - std::chrono::hours(1));
  vorlane::HtmlReportSummary summary;
  const std::string index = Report(&summary);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(index.find("old failure"), std::string::npos);
  EXPECT_NE(index.find("new failure"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "report" / "page-redone.html"));
  EXPECT_FALSE(fs::exists(dir_ / "report" / "page-broken.html"));
}

TEST_F(HtmlReport, AnUnreadableReportIsAFailedPage) {
  Write("cut-report.json", R"({"input": "cut.tif", "width": 4)");
  vorlane::HtmlReportSummary summary;
  const std::string index = Report(&summary);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_NE(index.find("cut-report.json is not valid JSON"), std::string::npos);
}

TEST_F(HtmlReport, NamesAreEscapedInTheTextAndEncodedInLinks) {
  WritePage("a b#&c");
  const std::string index = Report();
  EXPECT_NE(index.find("href=\"report/page-a%20b%23%26c.html\""), std::string::npos);
  EXPECT_NE(index.find("src=\"a%20b%23%26c-thumbnail.png\""), std::string::npos);
  EXPECT_NE(index.find(">a b#&amp;c<"), std::string::npos);
  EXPECT_NE(Read("report/page-a b#&c.js").find("../a%20b%23%26c-overlay.png"), std::string::npos);
}

TEST_F(HtmlReport, ViewsOfPagesNoLongerInTheFolderAreRemoved) {
  WritePage("kept");
  WritePage("gone");
  Report();
  ASSERT_TRUE(fs::exists(dir_ / "report" / "page-gone.js"));
  fs::remove(dir_ / "gone-report.json");
  Report();
  EXPECT_FALSE(fs::exists(dir_ / "report" / "page-gone.js"));
  EXPECT_FALSE(fs::exists(dir_ / "report" / "page-gone.html"));
  EXPECT_FALSE(fs::exists(dir_ / "report" / "page-gone.summary.json"));
  EXPECT_TRUE(fs::exists(dir_ / "report" / "page-kept.html"));
  EXPECT_EQ(Read("report/page-kept.js").find("page-gone"), std::string::npos);
}

// Rewriting the report after each page of a batch reads and writes again only the pages
// whose report changed; the index still shows every page.
TEST_F(HtmlReport, OnlyPagesWhoseReportChangedAreWrittenAgain) {
  WritePage("same");
  WritePage("redone");
  Report();
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const char* file : {"report/page-same.js", "report/page-redone.js"})
    fs::last_write_time(dir_ / file, old);
  WritePage("redone", R"("seconds": 12.5,)");
  WritePage("added");
  const std::string index = Report();
  EXPECT_EQ(fs::last_write_time(dir_ / "report/page-same.js"), old);
  EXPECT_NE(fs::last_write_time(dir_ / "report/page-redone.js"), old);
  EXPECT_NE(Read("report/page-redone.html").find(">12.5 s<"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "report/page-added.js"));
  for (const char* want : {"3 pages, 0 failed, 6 components", "data-stem=\"same\""})
    EXPECT_NE(index.find(want), std::string::npos) << want;
  // A view deleted by hand is written again.
  fs::remove(dir_ / "report/page-same.js");
  Report();
  EXPECT_NE(Read("report/page-same.js").find("[[1,2,3,4,7,2.13,3.5],"), std::string::npos);
}

TEST_F(HtmlReport, AnEmptyFolderGivesAnIndexAndAMissingOneAReason) {
  EXPECT_NE(Report().find("No page results in this folder yet."), std::string::npos);
  EXPECT_NE(vorlane::WriteHtmlReport(dir_ / "missing").find("no such folder"), std::string::npos);
}

}  // namespace
