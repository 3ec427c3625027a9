// The command line of the tool, built with CLI11.
#include "command_line.h"

#include <unistd.h>
#include <vorlane/vorlane.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "demo_page.h"
#include "inspect.h"
#include "jobs.h"
#include "page_io.h"
#include "progress.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVersion = "vorlane 0.1.0";

// Reads "niblack", "niblack:HALFWINDOW", "weszka" or "global:T" into options; returns the
// problem, or an empty string.
std::string ParseThreshold(const std::string& text, ProcessOptions& options) {
  const auto colon = text.find(':');
  const std::string method = text.substr(0, colon);
  const std::optional<std::string> value =
      colon == std::string::npos ? std::nullopt : std::optional(text.substr(colon + 1));
  const auto number = [](const std::string& s, int lo, int hi) -> std::optional<int> {
    if (s.empty() || s.size() > 4 || s.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    const int v = std::stoi(s);
    return v >= lo && v <= hi ? std::optional(v) : std::nullopt;
  };
  if (method == "niblack") {
    options.method = ThresholdMethod::niblack;
    options.halfWindow = 0;
    if (!value) return {};
    const auto w = number(*value, 1, 1000);
    if (!w) return "the Niblack half window must be a whole number from 1 to 1000";
    options.halfWindow = *w;
    return {};
  }
  if (method == "weszka" && !value) {
    options.method = ThresholdMethod::weszka;
    return {};
  }
  if (method == "global") {
    const auto t = value ? number(*value, 0, 255) : std::nullopt;
    if (!t) return "a global threshold needs a value from 0 to 255 (global:T)";
    options.method = ThresholdMethod::global;
    options.globalThreshold = *t;
    return {};
  }
  return "unknown threshold \"" + text + "\" (niblack[:HALFWINDOW], weszka or global:T)";
}

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
}

// Fills settings from args; prints the problem and returns false when a value is bad or the
// output folder cannot be used.
bool Settle(const RoadArgs& args, RunSettings& settings, int& exitCode) {
  for (const auto& [option, problem] :
       {std::pair{"--threshold", ParseThreshold(args.threshold, settings.process)},
        std::pair{"--deskew", ParseDeskew(args.deskew, settings.process)}}) {
    if (problem.empty()) continue;
    std::fprintf(stderr, "vorlane: %s: %s\n", option, problem.c_str());
    exitCode = kExitUsage;
    return false;
  }
  settings.process.connect8 = args.connectivity == 8;
  settings.outDir = args.outDir;
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

constexpr const char* kFooter = R"(Outputs of a page with stem S, in the output folder:
  S-bilevel.tif     the binarised page (1-bit TIFF)
  S-result.vlx      archive of the bi-level page with its maps and components
  S-overlay.png     the page with its ink tinted red (and map types in their colours)
  S-components.png  the components in rotating colours
  S-thumbnail.png   100 x 100 thumbnail of the page
  S-report.json     input, size, resolution, method and parameters, threshold, angle
                    (with --deskew auto also the estimate: angle_deg, confidence,
                    trusted), component count and every component's box, size and centre
Each is written under a temporary name and renamed when the page is complete.

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
      "process", "Binarise pages (TIFF or .vlx), find their components and write the outputs");
  RoadArgs processArgs;
  std::vector<std::string> inputs;
  int jobs = 1;
  bool skipExisting = false, noViews = false;
  process->add_option("INPUT", inputs, "Page files (.tif, .tiff, .vlx) or folders of them")
      ->required();
  AddRoadOptions(process, processArgs);
  process->add_option("-j,--jobs", jobs, "Pages processed at once, one per thread")
      ->check(CLI::Range(1, 64))
      ->capture_default_str();
  process->add_flag("--skip-existing", skipExisting,
                    "Skip pages whose report already exists in the output folder");
  process->add_flag("--no-views", noViews, "Write no PNG views");

  CLI::App* info = app.add_subcommand(
      "info", "Print format, size, resolution, name, maps (pixels per type) and components");
  std::string infoFile;
  info->add_option("FILE", infoFile, "A .tif, .tiff or .vlx file")->required();

  CLI::App* skew = app.add_subcommand(
      "skew",
      "Estimate the skew of a page: the angle in degrees (positive: the content is turned "
      "counter-clockwise), a confidence from 0 to 1, and whether it is trusted (else the "
      "angle is 0)");
  std::string skewFile;
  bool skewJson = false;
  skew->add_option("FILE", skewFile, "A .tif, .tiff or .vlx file")->required();
  skew->add_flag("--json", skewJson,
                 "Print one JSON object with angle_deg, confidence and trusted");

  CLI::App* show = app.add_subcommand("show", "Write the display bitmap of a page as a PNG");
  std::string showFile, showOut;
  ShowSettings showSettings;
  show->add_option("FILE", showFile, "A .tif, .tiff or .vlx file")->required();
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
  if (*info) return RunInfo(infoFile, std::cout);
  if (*skew) return RunSkew(skewFile, skewJson, std::cout);
  if (*show) return RunShow(showFile, showOut, showSettings);
  if (*process) {
    RunSettings settings;
    if (!Settle(processArgs, settings, exitCode)) return exitCode;
    settings.jobs = jobs;
    settings.skipExisting = skipExisting;
    settings.writeViews = !noViews;
    const std::vector<fs::path> files = ExpandInputs(inputs);
    if (files.empty()) {
      std::fprintf(stderr, "vorlane: no page files (.tif, .tiff, .vlx) in the inputs\n");
      return kExitFileFailed;
    }
    return RunBatch(files, settings, mode);
  }
  // demo
  RunSettings settings;
  if (!Settle(demoArgs, settings, exitCode)) return exitCode;
  int width = kDemoWidth, height = kDemoHeight;
  if (!demoSize.empty() && (std::sscanf(demoSize.c_str(), "%dx%d", &width, &height) != 2 ||
                            width < 16 || height < 16 || width > 20000 || height > 20000)) {
    std::fprintf(stderr, "vorlane: --size: expected WIDTHxHEIGHT from 16x16 to 20000x20000\n");
    return kExitUsage;
  }
  Progress progress(mode, 1);
  KeepAliveScope keepAlive(&progress);
  progress.Stage("demo", "draw");
  std::unique_ptr<CHiColorImage> page = MakeDemoPage(width, height);
  if (!page) {
    std::fprintf(stderr, "vorlane: demo: no memory for the sample page\n");
    return kExitFileFailed;
  }
  std::vector<fs::path> written;
  if (savePage) {
    const fs::path pagePath = settings.outDir / "demo-page.tif";
    if (!page->ExportTIFF(WidePath(pagePath).c_str())) {
      std::fprintf(stderr, "vorlane: demo: cannot write %s\n", pagePath.c_str());
      return kExitFileFailed;
    }
    written.push_back(pagePath);
  }
  const FileResult result = ProcessPageInMemory(*page, "demo", "demo", settings, progress);
  progress.Clear();
  if (result.outcome == Outcome::cancelled) {
    std::fprintf(stderr, "vorlane: interrupted; the demo page left no files\n");
    return kExitInterrupted;
  }
  if (result.outcome != Outcome::written) {
    std::fprintf(stderr, "vorlane: demo: %s\n", result.message.c_str());
    return kExitFileFailed;
  }
  if (!result.warning.empty())
    std::fprintf(stderr, "vorlane: demo: warning: %s\n", result.warning.c_str());
  for (const fs::path& p : result.names.All(result.views)) written.push_back(p);
  std::printf("demo: %d x %d page at %d dpi, %d components; wrote:\n", width, height, kDemoDpi,
              result.components);
  for (const fs::path& p : written) std::printf("  %s\n", p.c_str());
  return kExitOk;
}

}  // namespace vorlane::cli
