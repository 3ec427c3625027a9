// What a processed page leaves in its output folder: the names of its outputs, files written
// under temporary names and renamed together, and the JSON report.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "vorlane/io/tiff_export.h"
#include "vorlane/pipeline/vocabulary.h"
#include "vorlane/process.h"

class CImage;

namespace vorlane::pipeline {

// The outputs of one page with stem S in a folder: S-bilevel.tif, S-result.vlx,
// S-overlay.png, S-components.png, S-thumbnail.png, S-bilevel.png and S-report.json (written
// last); S-error.json records a page that failed instead (WritePageError).
struct OutputNames {
  std::filesystem::path tiff, archive, overlay, components, thumbnail, bilevelView, report;
  std::filesystem::path error;  // not an output of a written page
  // Every output; the PNG views only with views.
  // The page's own pixels as a PNG view (S-original.png) for the HTML report: empty unless set,
  // and written only then, with the other views.
  std::filesystem::path pageView;
  std::vector<std::filesystem::path> All(bool views) const;
};
OutputNames NamesFor(const std::filesystem::path& folder, const std::string& stem);

// Files written under temporary names beside their final names. Commit renames them all;
// whatever is not committed is removed when the set is destroyed, so an interrupted or
// failed page leaves no partial file.
class PendingFiles {
 public:
  PendingFiles() = default;
  PendingFiles(const PendingFiles&) = delete;
  PendingFiles& operator=(const PendingFiles&) = delete;
  ~PendingFiles();

  // The temporary name under which finalName is to be written.
  std::filesystem::path Add(const std::filesystem::path& finalName);
  // Renames every file to its final name; false (with the reason) when a rename fails.
  bool Commit(std::string& error);

 private:
  struct Entry {
    std::filesystem::path temp, final;
  };
  std::vector<Entry> m_entries;
};

// What the report says about the page before the road changed it.
struct PageFacts {
  std::string input;   // the input as given, or "demo" for the built-in page
  std::string format;  // FormatName of the loaded page
  int width = 0;
  int height = 0;
  int dpi = 0;        // 0: no resolution
  int pageIndex = 0;  // the page's index in its file, from 0
  int pageCount = 1;  // the pages of its file
  // When work on the page began (before it was loaded): the report's "seconds" count from it.
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};
PageFacts FactsOf(const std::string& input, const CImage& page);

// The JSON report of a processed page, as text; seconds is the time the page took.
std::string BuildReport(const PageFacts& facts, const ProcessOptions& options,
                        const ProcessResult& result, const OutputNames& names, bool views,
                        double seconds);

// Writes result's outputs as names says (the bi-level TIFF as tiff says, with the page's
// resolution unless tiff gives one) (under temporary names, renamed at the end), the PNG
// views only with views; views is cleared when the library renders no display bitmap (the
// page is then written without views). stop (may be empty) is polled between files. Gives
// written, cancelled when stopped, or failed with the reason. Nothing of a failed or
// stopped page is left behind.
PageStatus WriteOutputs(const PageFacts& facts, const ProcessOptions& options,
                        ProcessResult& result, const OutputNames& names, bool& views,
                        const std::function<bool()>& stop, const TiffExportOptions& tiff = {});

}  // namespace vorlane::pipeline
