// An HTML report of a run over pages, written beside the run's outputs: an index of the pages
// and one page view each, to be opened from the file system in a browser (no server, no
// network). It is built from what the run left in its output folder, so it can be written
// again at any time, after each page of a batch or over the results of an earlier run.
#pragma once

#include <filesystem>
#include <string>

namespace vorlane {

// What WriteHtmlReport found and wrote.
struct HtmlReportSummary {
  int pages = 0;   // pages shown: processed and failed
  int failed = 0;  // of which failed (an error record, or a report that cannot be read)
};

// Writes outDir/index.html and the files it uses under outDir/report/ (style sheet, script,
// one page view and one data script per page) from the outputs of the pages in outDir:
//   S-report.json   a processed page with stem S (the JSON report the tool writes);
//   S-error.json    a page that failed: {"input": "...", "page_index": N, "error": "..."}
//                   (WritePageError);
//   S-thumbnail.png, S-overlay.png, S-components.png and, where they exist, S-original.png,
//                   S-grey.png and S-bilevel.png: the pictures the views show, referenced
//                   as files beside the report, never copied.
// When a stem has both a report and an error record the newer file counts. Optional report
// fields that are shown when present: "page_index", "seconds" (the time the page took) or
// "stages" ([{"name", "seconds"}], summed), and "outputs" naming the pictures. Every file is
// written under a temporary name and renamed, so a browser never sees half a file. Returns an
// empty string on success, else the reason (outDir missing, a file that cannot be written).
std::string WriteHtmlReport(const std::filesystem::path& outDir,
                            HtmlReportSummary* summary = nullptr);

// Records that the page with stem in outDir failed, for the report: writes S-error.json with
// the input as given, the page's index in it (from 0) and the message, under a temporary name
// renamed into place. Returns false when the file cannot be written.
bool WritePageError(const std::filesystem::path& outDir, const std::string& stem,
                    const std::string& input, int pageIndex, const std::string& message);

}  // namespace vorlane
