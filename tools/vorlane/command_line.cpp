// The command line of the tool, built with CLI11.
#include "command_line.h"

#include <unistd.h>
#include <vorlane/pipeline/batch.h>
#include <vorlane/pipeline/demo_page.h>
#include <vorlane/pipeline/inspect.h>
#include <vorlane/pipeline/page_loading.h>
#include <vorlane/pipeline/paths.h>
#include <vorlane/png.h>
#include <vorlane/vorlane.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "progress.h"
#include "vorlane/pipeline/html_report.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

using pipeline::RunSettings;

constexpr const char* kVersion = "vorlane 0.1.0";

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;  // a file could not be read, processed or written
constexpr int kExitUsage = 2;       // bad command line or option value
constexpr int kExitInterrupted = 130;

// Reads "auto" or an angle in degrees from -180 to 180 into options; returns the problem, or
// an empty string.
std::string ParseDeskew(const std::string& text, ProcessOptions& options) {
  options.deskewAuto = text == "auto";
  options.deskewDegrees = 0.0;
  if (options.deskewAuto) return {};
  double angle = 0.0;
  size_t used = 0;
  try {
    angle = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !(angle >= -180.0 && angle <= 180.0))
    return "expected auto or an angle in degrees from -180 to 180, not \"" + text + "\"";
  options.deskewDegrees = angle;
  return {};
}

struct RoadArgs {
  std::string threshold = "niblack";
  std::string deskew = "0";
  int connectivity = 8;
  std::string outDir = ".";
  std::string pages;
  std::string compression = "g4";
  int dpi = 0;
  bool report = false;
};

void AddRoadOptions(CLI::App* command, RoadArgs& args) {
  command->add_option("-o,--output", args.outDir, "Folder for the outputs (made when missing)")
      ->capture_default_str();
  command
      ->add_option("--threshold", args.threshold,
                   "Binarisation: niblack[:HALFWINDOW] (local; half window derived from the "
                   "resolution as dpi/20, 15 without one), weszka (automatic global threshold "
                   "between the two histogram peaks) or global:T (grey values above T are paper)")
      ->capture_default_str();
  command
      ->add_option("--deskew", args.deskew,
                   "Straighten the page: auto estimates its skew and turns it back when the "
                   "estimate is trusted; an ANGLE in degrees is the skew to undo (positive: "
                   "the content is turned counter-clockwise, so the page is turned clockwise). "
                   "Grey and colour pages are turned before the threshold; the size is kept")
      ->capture_default_str();
  command->add_option("--connectivity", args.connectivity, "Component connectivity: 4 or 8")
      ->check(CLI::IsMember({4, 8}))
      ->capture_default_str();
  command
      ->add_option("--compression", args.compression,
                   "Compression of the bi-level TIFF: g4 (CCITT Group 4), lzw or none")
      ->check(CLI::IsMember(std::vector<std::string>(pipeline::CompressionNames().begin(),
                                                     pipeline::CompressionNames().end())))
      ->capture_default_str();
  command
      ->add_option("--dpi", args.dpi,
                   "Resolution of pages whose file gives none (it also sets the Niblack half "
                   "window, dpi/20, where --threshold gives none)")
      ->check(CLI::Range(50, 10000));
  command->add_flag("--report", args.report,
                    "Also write the HTML report (OUT/index.html), rewritten as each page "
                    "finishes");
}

// Fills settings from args; prints the problem and returns false when a value is bad or the
// output folder cannot be used.
bool Settle(const RoadArgs& args, RunSettings& settings, int& exitCode) {
  for (const auto& [option, problem] :
       {std::pair{"--threshold", pipeline::ParseMethod(args.threshold, settings.process)},
        std::pair{"--deskew", ParseDeskew(args.deskew, settings.process)}}) {
    if (problem.empty()) continue;
    std::fprintf(stderr, "vorlane: %s: %s\n", option, problem.c_str());
    exitCode = kExitUsage;
    return false;
  }
  if (!args.pages.empty()) {
    const std::string problem = pipeline::ParsePages(args.pages, settings.pages);
    if (!problem.empty()) {
      std::fprintf(stderr, "vorlane: --pages: %s\n", problem.c_str());
      exitCode = kExitUsage;
      return false;
    }
  }
  settings.compression = *pipeline::CompressionFromName(args.compression);  // checked by CLI11
  settings.dpi = args.dpi;
  settings.process.connect8 = args.connectivity == 8;
  settings.outDir = args.outDir;
  settings.report = args.report;
  std::error_code ec;
  fs::create_directories(settings.outDir, ec);
  if (ec || !fs::is_directory(settings.outDir)) {
    std::fprintf(stderr, "vorlane: %s: cannot make the output folder (%s)\n", args.outDir.c_str(),
                 ec ? ec.message().c_str() : "a file of that name exists");
    exitCode = kExitFileFailed;
    return false;
  }
  if (::access(settings.outDir.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "vorlane: %s: the output folder is not writable\n", args.outDir.c_str());
    exitCode = kExitFileFailed;
    return false;
  }
  return true;
}

// Loads file for info, skew and show; prints "vorlane: FILE: problem" when it cannot.
pipeline::LoadedPage LoadOrSay(const fs::path& file) {
  pipeline::LoadedPage page = pipeline::LoadPage(file);
  if (!page.image) std::fprintf(stderr, "vorlane: %s: %s\n", file.c_str(), page.error.c_str());
  return page;
}

int RunInfo(const fs::path& file) {
  pipeline::LoadedPage page = LoadOrSay(file);
  if (!page.image) return kExitFileFailed;
  std::cout << pipeline::DescribePage(file, *page.image);
  // Files of several pages: one line per page from the file's tags.
  if (page.pageCount > 1) {
    const std::string pages = pipeline::DescribePages(file);
    if (pages.empty()) return kExitFileFailed;
    std::cout << pages;
  }
  return kExitOk;
}

int RunSkew(const fs::path& file, bool json) {
  pipeline::LoadedPage page = LoadOrSay(file);
  if (!page.image) return kExitFileFailed;
  std::cout << pipeline::DescribeSkew(EstimateSkew(*page.image), json);
  return kExitOk;
}

// Writes the display bitmap of file as a PNG at output (temporary name, then renamed).
int RunShow(const fs::path& file, const fs::path& output, const pipeline::ShowSettings& settings) {
  pipeline::LoadedPage page = LoadOrSay(file);
  if (!page.image) return kExitFileFailed;
  CBitmap bitmap;
  if (!pipeline::RenderShow(*page.image, settings, bitmap)) {
    std::fprintf(stderr, "vorlane: %s: the library gave no display bitmap\n", file.c_str());
    return kExitFileFailed;
  }
  pipeline::PendingFiles files;
  std::string error;
  if (!WritePng(bitmap, files.Add(output)) || !files.Commit(error)) {
    std::fprintf(stderr, "vorlane: %s: cannot write %s\n", file.c_str(), output.c_str());
    return kExitFileFailed;
  }
  return kExitOk;
}

// Processes every input with settings.jobs threads, one line per page (Progress::PageDone);
// returns the exit code of the run.
int RunProcess(const std::vector<fs::path>& inputs, const RunSettings& settings,
               ProgressMode mode) {
  Progress progress(mode, static_cast<int>(inputs.size()));
  const std::vector<pipeline::PageResult> results = pipeline::RunBatch(inputs, settings, progress);
  progress.Clear();
  // The report is rewritten as each page finishes, so an interrupted run has one too.
  if (settings.report) std::printf("report: %s\n", (settings.outDir / "index.html").c_str());
  if (InterruptRequested()) {
    std::fprintf(stderr, "vorlane: interrupted; unfinished pages left no files\n");
    return kExitInterrupted;
  }
  const bool failed = std::any_of(
      results.begin(), results.end(),
      [](const pipeline::PageResult& r) { return r.outcome == pipeline::PageOutcome::failed; });
  return failed ? kExitFileFailed : kExitOk;
}

constexpr const char* kFooter =
    R"(Outputs of a page with stem S (the file's name; NAME-p0001 and so on for the pages of a
file of several), in the output folder:
  S-bilevel.tif     the binarised page (1-bit TIFF, CCITT Group 4 by default)
  S-result.vlx      archive of the bi-level page with its maps and components
  S-overlay.png     the page with its ink tinted red (and map types in their colours)
  S-components.png  the components in rotating colours
  S-thumbnail.png   100 x 100 thumbnail of the page
  S-bilevel.png     the binarised page as a black and white picture
  S-report.json     input, page index, size, resolution, method and parameters,
                    threshold, angle (with --deskew auto also the estimate: angle_deg,
                    confidence, trusted and, when not trusted, the reason), component
                    count, every component's box, size and centre, and the seconds taken
Each is written under a temporary name and renamed when the page is complete. With
--report, a page that fails leaves S-error.json (input, page index, error) instead, and
index.html with report/ shows every page; a page written later removes its S-error.json.

Exit status: 0 all pages done; 1 a file could not be read, processed or written (each is
named on standard error, the others are still processed); 2 bad command line; 130
interrupted (Ctrl-C: the running pages stop and leave no files).)";

}  // namespace

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"vorlane: binarise scanned pages, find their components and show the result."};
  app.name("vorlane");
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(1);
  app.fallthrough();  // the global options may follow the subcommand
  app.footer(kFooter);
  bool quiet = false;
  std::string progressText = "auto";
  app.add_flag("-q,--quiet", quiet, "No progress display");
  app.add_option("--progress", progressText,
                 "Progress on standard error: auto (a bar on a terminal), bar, plain (one line "
                 "per step, for logs) or none")
      ->check(CLI::IsMember({"auto", "bar", "plain", "none"}))
      ->capture_default_str();

  CLI::App* process = app.add_subcommand(
      "process",
      "Binarise pages (TIFF, PNG, JPEG or .vlx), find their components and write the outputs");
  RoadArgs processArgs;
  std::vector<std::string> inputs;
  int jobs = 1;
  bool skipExisting = false, noViews = false;
  process
      ->add_option("INPUT", inputs,
                   "Page files (.tif, .tiff with every page, .png, .jpg, .jpeg, .vlx) or "
                   "folders of them")
      ->required();
  AddRoadOptions(process, processArgs);
  process->add_option("--pages", processArgs.pages,
                      "Pages of each file to process, numbered from 1, e.g. 1,3-5 (default: all)");
  process->add_option("-j,--jobs", jobs, "Pages processed at once, one per thread")
      ->check(CLI::Range(1, 64))
      ->capture_default_str();
  process->add_flag("--skip-existing", skipExisting,
                    "Skip pages whose report already exists in the output folder");
  process->add_flag("--no-views", noViews, "Write no PNG views");

  CLI::App* info = app.add_subcommand(
      "info", "Print format, size, resolution, name, maps (pixels per type) and components");
  std::string infoFile;
  info->add_option("FILE", infoFile, "A .tif, .tiff, .png, .jpg or .vlx file")->required();

  CLI::App* skew = app.add_subcommand(
      "skew",
      "Estimate the skew of a page: the angle in degrees (positive: the content is turned "
      "counter-clockwise), a confidence from 0 to 1, and whether it is trusted (else the "
      "angle is 0)");
  std::string skewFile;
  bool skewJson = false;
  skew->add_option("FILE", skewFile, "A .tif, .tiff, .png, .jpg or .vlx file")->required();
  skew->add_flag(
      "--json", skewJson,
      "Print one JSON object with angle_deg, confidence, trusted and, when not trusted, reason");

  CLI::App* show = app.add_subcommand("show", "Write the display bitmap of a page as a PNG");
  std::string showFile, showOut;
  pipeline::ShowSettings showSettings;
  show->add_option("FILE", showFile, "A .tif, .tiff, .png, .jpg or .vlx file")->required();
  show->add_option("-o,--output", showOut, "The PNG file to write")->required();
  show->add_flag("--maps", showSettings.maps, "Paint the colours of the current map");
  show->add_flag("--components", showSettings.components,
                 "Paint the components in rotating colours");
  show->add_flag("--thumbnail", showSettings.thumbnail, "Write the 100 x 100 thumbnail");

  CLI::App* demo = app.add_subcommand(
      "demo",
      "Make the built-in sample page (a synthetic A4 scan at 300 dpi: glyph lines, uneven "
      "lighting and noise, a stamp, a stain, two punch holes, 1.5 degrees of skew) and "
      "process it; no input file needed");
  RoadArgs demoArgs;
  std::string demoSize;
  bool savePage = false;
  AddRoadOptions(demo, demoArgs);
  demo->add_option("--size", demoSize, "A smaller page for quick tries, as WIDTHxHEIGHT");
  demo->add_flag("--save-page", savePage, "Also write the sample page as demo-page.tif");

  CLI::App* report = app.add_subcommand(
      "report", "Write OUT_DIR/index.html: a report of the pages processed into OUT_DIR");
  std::string reportDir;
  report->add_option("OUT_DIR", reportDir, "The output folder of a run")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "vorlane: %s\nRun 'vorlane --help' for more information.\n", e.what());
    return kExitUsage;
  }

  const ProgressMode mode = ChooseProgressMode(progressText, quiet);
  InstallInterruptHandler();
  int exitCode = kExitOk;
  if (*info) return RunInfo(infoFile);
  if (*skew) return RunSkew(skewFile, skewJson);
  if (*show) return RunShow(showFile, showOut, showSettings);
  if (*report) {
    const std::string problem = WriteHtmlReport(reportDir);
    if (!problem.empty()) std::fprintf(stderr, "vorlane: report: %s\n", problem.c_str());
    return problem.empty() ? kExitOk : kExitFileFailed;
  }
  if (*process) {
    RunSettings settings;
    if (!Settle(processArgs, settings, exitCode)) return exitCode;
    settings.jobs = jobs;
    settings.skipExisting = skipExisting;
    settings.writeViews = !noViews;
    const std::vector<fs::path> files = pipeline::ExpandInputs(inputs);
    if (files.empty()) {
      std::fprintf(stderr,
                   "vorlane: no page files (.tif, .tiff, .png, .jpg, .jpeg, .vlx) in the inputs\n");
      return kExitFileFailed;
    }
    return RunProcess(files, settings, mode);
  }
  // demo
  RunSettings settings;
  if (!Settle(demoArgs, settings, exitCode)) return exitCode;
  int width = pipeline::kDemoWidth, height = pipeline::kDemoHeight;
  if (!demoSize.empty() && (std::sscanf(demoSize.c_str(), "%dx%d", &width, &height) != 2 ||
                            width < 16 || height < 16 || width > 20000 || height > 20000)) {
    std::fprintf(stderr, "vorlane: --size: expected WIDTHxHEIGHT from 16x16 to 20000x20000\n");
    return kExitUsage;
  }
  Progress progress(mode, 1);
  pipeline::KeepAliveScope keepAlive(&progress);
  progress.Stage("demo", "draw");
  std::unique_ptr<CHiColorImage> page = pipeline::MakeDemoPage(width, height, InterruptRequested);
  if (!page) {
    std::fprintf(stderr, "vorlane: demo: no memory for the sample page\n");
    return kExitFileFailed;
  }
  std::vector<fs::path> written;
  if (savePage) {
    const fs::path pagePath = settings.outDir / "demo-page.tif";
    if (!page->ExportTIFF(pipeline::WidePath(pagePath).c_str())) {
      std::fprintf(stderr, "vorlane: demo: cannot write %s\n", pagePath.c_str());
      return kExitFileFailed;
    }
    written.push_back(pagePath);
  }
  const pipeline::PageResult result =
      pipeline::ProcessPageInMemory(*page, "demo", "demo", settings, &progress);
  progress.Clear();
  if (result.outcome == pipeline::PageOutcome::cancelled) {
    std::fprintf(stderr, "vorlane: interrupted; the demo page left no files\n");
    return kExitInterrupted;
  }
  if (result.outcome != pipeline::PageOutcome::written) {
    std::fprintf(stderr, "vorlane: demo: %s\n", result.message.c_str());
    return kExitFileFailed;
  }
  if (!result.warning.empty())
    std::fprintf(stderr, "vorlane: demo: warning: %s\n", result.warning.c_str());
  for (const fs::path& p : result.names.All(result.views)) written.push_back(p);
  std::printf("demo: %d x %d page at %d dpi, %d components; wrote:\n", width, height,
              pipeline::kDemoDpi, result.components);
  for (const fs::path& p : written) std::printf("  %s\n", p.c_str());
  if (settings.report) std::printf("report: %s\n", (settings.outDir / "index.html").c_str());
  return kExitOk;
}

}  // namespace vorlane::cli
