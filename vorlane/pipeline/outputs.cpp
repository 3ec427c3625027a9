// Writing the outputs of a page: bi-level TIFF, archive, PNG views and the JSON report.
#include "vorlane/pipeline/outputs.h"

#include <vorlane/overlay_view.h>
#include <vorlane/vorlane.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#include "imageclasses/bilevelimage.h"
#include "kernels/io/temporary_name.h"
#include "platform/platform.h"
#include "vorlane/bilevel_view.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/pipeline/views.h"
#include "vorlane/png.h"

namespace vorlane::pipeline {
namespace {

namespace fs = std::filesystem;

bool WriteArchive(CImage& image, const fs::path& path) {
  try {
    CFile file(WidePath(path).c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
    CArchive ar(&file, CArchive::store);
    ar << &image;
    ar.Close();
    file.Close();
    return true;
  } catch (const CException&) {
    return false;
  }
}

bool WriteReport(const std::string& report, const fs::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << report << '\n';
  out.close();
  return static_cast<bool>(out);
}

// Stands for the components array in the report until it is written.
constexpr const char* kComponentsSlot = "@components@";

// A number as the report writes it: integers plainly, other values in their shortest exact
// form with at least one decimal place.
void AppendNumber(std::string& out, int value) {
  char buffer[16];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}
void AppendNumber(std::string& out, double value) {
  char buffer[32];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
  if (std::find_if(buffer, end, [](char c) { return c == '.' || c == 'e'; }) == end) out += ".0";
}

// The components array, indented as the report's second level.
std::string ComponentsText(const std::vector<ComponentSummary>& components) {
  if (components.empty()) return "[]";
  std::string out = "[\n";
  out.reserve(components.size() * 140);
  const auto field = [&out](const char* key, auto value, bool last) {
    out += "   \"";
    out += key;
    out += "\": ";
    AppendNumber(out, value);
    out += last ? "\n" : ",\n";
  };
  for (size_t i = 0; i < components.size(); ++i) {
    const ComponentSummary& c = components[i];
    out += "  {\n";
    field("left", c.left, false);
    field("top", c.top, false);
    field("width", c.width, false);
    field("height", c.height, false);
    field("size", c.size, false);
    out += "   \"centre\": {\n    \"x\": ";
    AppendNumber(out, static_cast<double>(c.centreX));
    out += ",\n    \"y\": ";
    AppendNumber(out, static_cast<double>(c.centreY));
    out += "\n   }\n  }";
    out += i + 1 < components.size() ? ",\n" : "\n";
  }
  out += " ]";
  return out;
}

}  // namespace

OutputNames NamesFor(const fs::path& folder, const std::string& stem) {
  return {folder / (stem + "-bilevel.tif"),
          folder / (stem + "-result.vlx"),
          folder / (stem + "-overlay.png"),
          folder / (stem + "-components.png"),
          folder / (stem + "-thumbnail.png"),
          folder / (stem + "-bilevel.png"),
          folder / (stem + "-report.json"),
          folder / (stem + "-error.json"),
          {}};
}

std::vector<fs::path> OutputNames::All(bool views) const {
  if (!views) return {tiff, archive, report};
  std::vector<fs::path> all = {tiff, archive, overlay, components, thumbnail, bilevelView};
  if (!pageView.empty()) all.push_back(pageView);
  all.push_back(report);
  return all;
}

PendingFiles::~PendingFiles() {
  for (const Entry& e : m_entries) {
    std::error_code ec;
    fs::remove(e.temp, ec);
  }
}

fs::path PendingFiles::Add(const fs::path& finalName) {
  fs::path temp = detail::TemporaryNameBeside(finalName);
  m_entries.push_back({temp, finalName});
  return temp;
}

bool PendingFiles::Commit(std::string& error) {
  for (size_t i = 0; i < m_entries.size(); ++i) {
    std::error_code ec;
    fs::rename(m_entries[i].temp, m_entries[i].final, ec);
    if (ec) {
      error = "cannot write " + m_entries[i].final.string() + " (" + ec.message() + ")";
      // No half set either: the files already renamed go too.
      for (size_t k = 0; k < i; ++k) fs::remove(m_entries[k].final, ec);
      return false;
    }
  }
  m_entries.clear();
  return true;
}

PageFacts FactsOf(const std::string& input, const CImage& page) {
  return {input, FormatName(page), page.GetWidth(), page.GetHeight(), page.GetDPI()};
}

std::string BuildReport(const PageFacts& facts, const ProcessOptions& options,
                        const ProcessResult& result, const OutputNames& names, bool views,
                        double seconds) {
  using json = nlohmann::ordered_json;
  json parameters = json::object();
  if (options.method == ThresholdMethod::niblack) parameters["half_window"] = result.halfWindow;
  if (options.method == ThresholdMethod::global) parameters["threshold"] = options.globalThreshold;
  json outputs = json::object();
  const auto name = [](const fs::path& p) { return p.filename().string(); };
  outputs["bilevel_tiff"] = name(names.tiff);
  outputs["archive"] = name(names.archive);
  if (views) {
    outputs["overlay_png"] = name(names.overlay);
    outputs["components_png"] = name(names.components);
    outputs["thumbnail_png"] = name(names.thumbnail);
    outputs["bilevel_png"] = name(names.bilevelView);
    if (!names.pageView.empty()) outputs["original_png"] = name(names.pageView);
  }
  json report = {{"input", facts.input},
                 {"page_index", facts.pageIndex},
                 {"page_count", facts.pageCount},
                 {"format", facts.format},
                 {"width", facts.width},
                 {"height", facts.height},
                 {"resolution", HasResolution(facts.dpi) ? json(facts.dpi) : json(nullptr)},
                 {"method", MethodName(options.method)},
                 {"parameters", parameters},
                 {"threshold", result.threshold >= 0 ? json(result.threshold) : json(nullptr)},
                 {"angle", result.angleDegrees},
                 {"connectivity", options.connect8 ? 8 : 4},
                 {"component_count", result.components.size()},
                 {"components", kComponentsSlot},
                 {"outputs", outputs},
                 {"seconds", seconds}};
  if (result.skewEstimated) {
    report["skew"] = {{"angle_deg", result.skew.angleDegrees},
                      {"confidence", result.skew.confidence},
                      {"trusted", result.skew.trusted}};
    // Why an estimate is not trusted; a trusted one has no reason.
    const char* reason = SkewReasonText(result.skew.reason);
    if (reason && *reason) report["skew"]["reason"] = reason;
  }
  // The components (thousands on a page) are written straight into the text in the layout
  // dump gives them, rather than built as objects first.
  std::string text = report.dump(1);
  const std::string slot = std::string("\"") + kComponentsSlot + '"';
  text.replace(text.find(slot), slot.size(), ComponentsText(result.components));
  return text;
}

PageStatus WriteOutputs(const PageFacts& facts, const ProcessOptions& options,
                        ProcessResult& result, const OutputNames& names, bool& views,
                        const std::function<bool()>& stop, const TiffExportOptions& tiffOptions) {
  PendingFiles files;
  const auto stopped = [&] { return stop && stop(); };
  const auto cannot = [](const fs::path& p) { return Failed("cannot write " + p.string()); };

  const fs::path tiff = files.Add(names.tiff);
  // Uncompressed pages are the library's own TIFF files; compressed ones carry the page's
  // resolution.
  if (tiffOptions.compression == TiffCompression::none) {
    if (!result.bilevel->ExportTIFF(WidePath(tiff).c_str())) return cannot(names.tiff);
  } else {
    TiffExportOptions withDpi = tiffOptions;
    if (withDpi.dpi <= 0 && HasResolution(facts.dpi)) withDpi.dpi = facts.dpi;
    std::string error;
    if (!ExportTiff(*result.bilevel, tiff, withDpi, error)) return cannot(names.tiff);
  }
  if (stopped()) return Cancelled();
  const fs::path archive = files.Add(names.archive);
  if (!WriteArchive(*result.bilevel, archive)) return cannot(names.archive);
  if (stopped()) return Cancelled();

  // The views are written straight from the pixels, maps and components; the overlay is
  // encoded on a second thread while the others are encoded here: each encoding is one
  // deflate pass that uses one core.
  if (views) {
    const fs::path overlayFile = files.Add(names.overlay);
    const fs::path componentsFile = files.Add(names.components);
    const fs::path thumbnailFile = files.Add(names.thumbnail);
    bool overlayOk = false;
    std::thread overlay;
    try {
      overlay =
          std::thread([&] { overlayOk = vorlane::WriteOverlayPng(*result.labelled, overlayFile); });
    } catch (const std::system_error&) {
      overlayOk = vorlane::WriteOverlayPng(*result.labelled, overlayFile);
    }
    const bool componentsOk = WriteComponentsView(*result.bilevel, componentsFile);
    const bool thumbnailOk = WriteThumbnailView(*result.labelled, thumbnailFile);
    const bool bilevelOk = WriteBiLevelPng(*result.bilevel, files.Add(names.bilevelView));
    const bool pageOk =
        names.pageView.empty() || WritePagePng(*result.labelled, files.Add(names.pageView));
    if (overlay.joinable()) overlay.join();
    if (!overlayOk) return cannot(names.overlay);
    if (!componentsOk) return cannot(names.components);
    if (!thumbnailOk) return cannot(names.thumbnail);
    if (!bilevelOk) return cannot(names.bilevelView);
    if (!pageOk) return cannot(names.pageView);
    if (stopped()) return Cancelled();
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - facts.started).count();
  if (!WriteReport(BuildReport(facts, options, result, names, views, seconds),
                   files.Add(names.report)))
    return cannot(names.report);
  if (stopped()) return Cancelled();
  std::string error;
  if (!files.Commit(error)) return Failed(error);
  return {PageOutcome::written, {}};
}

}  // namespace vorlane::pipeline
