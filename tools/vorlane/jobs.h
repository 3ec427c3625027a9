// Running the road on input files: one page per call, or a batch over several threads, with
// one line per failed file and an exit code for the run.
#pragma once

#include <vorlane/process.h>

#include <filesystem>
#include <string>
#include <vector>

#include "outputs.h"
#include "progress.h"

class CImage;

namespace vorlane::cli {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileFailed = 1;  // a file could not be read, processed or written
inline constexpr int kExitUsage = 2;       // bad command line or option value
inline constexpr int kExitInterrupted = 130;

struct RunSettings {
  ProcessOptions process;  // its callbacks are set per page
  std::filesystem::path outDir = ".";
  bool skipExisting = false;
  bool writeViews = true;    // the PNG views (when the build writes PNG files)
  bool printResults = true;  // one line per page on standard output
  int jobs = 1;
};

enum class Outcome { written, skipped, failed, cancelled };

struct FileResult {
  Outcome outcome = Outcome::failed;
  std::string message;  // the problem, for failed
  std::string warning;  // what is missing from a written page
  bool views = false;   // whether the PNG views were written
  OutputNames names;
  int components = 0;
};

// Loads input and runs the road on it, writing its outputs into settings.outDir under the
// input's stem.
FileResult ProcessInputFile(const std::filesystem::path& input, const RunSettings& settings,
                            Progress& progress);
// Runs the road on a page already in memory; label names it in the report and messages.
FileResult ProcessPageInMemory(CImage& page, const std::string& label, const std::string& stem,
                               const RunSettings& settings, Progress& progress);

// The page files named by inputs: files as given (whatever their kind, so that a wrong one is
// reported), folders replaced by the .tif, .tiff and .vlx files directly inside, sorted.
std::vector<std::filesystem::path> ExpandInputs(const std::vector<std::string>& inputs);

// Processes every input with settings.jobs threads; prints one line on standard output per
// processed file and "vorlane: FILE: problem" on standard error per failed one. Returns the
// exit code of the run.
int RunBatch(const std::vector<std::filesystem::path>& inputs, const RunSettings& settings,
             ProgressMode mode);

}  // namespace vorlane::cli
