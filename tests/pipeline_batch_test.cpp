// The page pipeline on files: a stop request leaves no file and gives the cancelled outcome,
// the batch reports each page to its observer, and pages whose outputs would collide fail.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "support/pipeline_rig.h"
#include "vorlane/pipeline/batch.h"
#include "vorlane/pipeline/paths.h"

namespace pipetest {
namespace {

using vorlane::pipeline::PageOutcome;
using vorlane::pipeline::PageResult;

// Stops after a number of rows of the keep-alive handler (at once with 0, never with a
// negative number); records the pages it is told are done.
class StopAfterRows : public vorlane::pipeline::Observer {
 public:
  explicit StopAfterRows(int rows) : m_limit(rows) {}
  void Step(int, int) override {
    if (++m_rows >= m_limit && m_limit >= 0) m_stop = true;
  }
  bool StopRequested() override { return m_stop || m_limit == 0; }
  void PageDone(const fs::path& input, const PageResult& result) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    done.push_back({input.filename().string(), result.outcome});
  }
  int Rows() const { return m_rows; }
  std::vector<std::pair<std::string, PageOutcome>> done;

 private:
  const int m_limit;
  std::atomic<int> m_rows{0};
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
};

TEST(PipelineStop, AStopRequestedWhileRowsAreWorkedLeavesNoFile) {
  ScratchDir dir;
  std::unique_ptr<CImage> page = SmallPage(true);
  vorlane::pipeline::RunSettings settings;
  settings.outDir = dir.path();
  StopAfterRows observer(100);
  PageResult result;
  {
    vorlane::pipeline::KeepAliveScope keepAlive(&observer);
    result = vorlane::pipeline::ProcessPageInMemory(*page, "page", "page", settings, &observer);
  }
  EXPECT_GE(observer.Rows(), 100);
  EXPECT_EQ(result.outcome, PageOutcome::cancelled);
  EXPECT_EQ(result.message, "interrupted");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PipelineBatch, ReportsEveryPageAndFailsOutputsThatWouldCollide) {
  ScratchDir dir;
  fs::create_directories(dir / "again");
  for (const fs::path& p : {dir / "a.tif", dir / "again/a.tif", dir / "b.tif"})
    SmallPage(false, 90, 70)->ExportTIFF(vorlane::pipeline::WidePath(p).c_str());
  vorlane::pipeline::RunSettings settings;
  settings.outDir = dir / "out";
  settings.writeViews = false;
  settings.jobs = 2;
  fs::create_directories(settings.outDir);
  const std::vector<fs::path> inputs = {dir / "a.tif", dir / "again/a.tif", dir / "b.tif",
                                        dir / "missing.vlx"};
  StopAfterRows observer(-1);  // never stops
  std::vector<PageResult> results = vorlane::pipeline::RunBatch(inputs, settings, observer);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].outcome, PageOutcome::written);
  EXPECT_EQ(results[0].names.report, dir / "out/a-report.json");
  EXPECT_GT(results[0].components, 0);
  EXPECT_EQ(results[1].outcome, PageOutcome::failed);
  EXPECT_EQ(results[1].message, "its outputs would overwrite those of " + inputs[0].string());
  EXPECT_EQ(results[3].message, "no such file");
  EXPECT_EQ(observer.done.size(), 4u);
  EXPECT_TRUE(fs::exists(dir / "out/b-report.json"));
  EXPECT_FALSE(fs::exists(dir / "out/b-overlay.png"));

  // Existing reports are skipped; after a stop request no page begins or is reported.
  settings.skipExisting = true;
  results = vorlane::pipeline::RunBatch({dir / "b.tif"}, settings, observer);
  EXPECT_EQ(results[0].outcome, PageOutcome::skipped);
  StopAfterRows stopped(0);
  results = vorlane::pipeline::RunBatch(inputs, settings, stopped);
  for (const PageResult& r : {results[0], results[2], results[3]})
    EXPECT_EQ(r.outcome, PageOutcome::cancelled);
  EXPECT_EQ(stopped.done.size(), 1u);  // the collision, found before any page runs
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Records, for each finished page, whether the HTML report already showed it.
class IndexWatcher : public vorlane::pipeline::Observer {
 public:
  explicit IndexWatcher(fs::path index) : m_index(std::move(index)) {}
  void PageDone(const fs::path& input, const PageResult&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string card = "data-stem=\"" + input.stem().string() + "\"";
    shown.push_back(ReadText(m_index).find(card) != std::string::npos);
  }
  std::vector<bool> shown;

 private:
  const fs::path m_index;
  std::mutex m_mutex;
};

TEST(PipelineBatch, TheReportShowsEachPageAsItFinishesAndFailuresUntilWritten) {
  ScratchDir dir;
  SmallPage(false, 90, 70)->ExportTIFF(vorlane::pipeline::WidePath(dir / "a.tif").c_str());
  std::ofstream(dir / "b.tif") << "junk";
  vorlane::pipeline::RunSettings settings;
  settings.outDir = dir / "out";
  settings.writeViews = false;
  settings.report = true;
  fs::create_directories(settings.outDir);
  IndexWatcher watcher(settings.outDir / "index.html");
  std::vector<PageResult> results =
      vorlane::pipeline::RunBatch({dir / "a.tif", dir / "b.tif"}, settings, watcher);
  ASSERT_EQ(results[1].outcome, PageOutcome::failed);
  EXPECT_EQ(watcher.shown, (std::vector<bool>{true, true}));
  EXPECT_EQ(ReadText(settings.outDir / "b-error.json"),
            "{\n \"input\": \"" + (dir / "b.tif").string() +
                "\",\n \"page_index\": 0,\n \"error\": \"" + results[1].message + "\"\n}\n");
  EXPECT_NE(ReadText(settings.outDir / "index.html").find("card failed\" data-stem=\"b\""),
            std::string::npos);

  // Written later, the page loses its error record and its failed card.
  SmallPage(false, 90, 70)->ExportTIFF(vorlane::pipeline::WidePath(dir / "b.tif").c_str());
  results = vorlane::pipeline::RunBatch({dir / "b.tif"}, settings, watcher);
  ASSERT_EQ(results[0].outcome, PageOutcome::written);
  EXPECT_FALSE(fs::exists(settings.outDir / "b-error.json"));
  EXPECT_EQ(ReadText(settings.outDir / "index.html").find("card failed"), std::string::npos);
  // Without the report no record is left.
  settings.report = false;
  results = vorlane::pipeline::RunBatch({dir / "missing.tif"}, settings, watcher);
  EXPECT_FALSE(fs::exists(settings.outDir / "missing-error.json"));
}

}  // namespace
}  // namespace pipetest
