// The HTML report: reads the page reports and error records of an output folder and writes
// the index, the page views and their data scripts. The style sheet and the viewer script
// are compiled in from vorlane/pipeline/assets/.
#include "vorlane/pipeline/html_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "kernels/io/temporary_name.h"

namespace vorlane::detail {
// Defined in the generated html_report_assets.cpp.
extern const char kHtmlReportCss[];
extern const char kHtmlReportScript[];
}  // namespace vorlane::detail

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr const char* kReportSuffix = "-report.json";
constexpr const char* kErrorSuffix = "-error.json";
constexpr const char* kFolder = "report";  // beside index.html: everything else it uses
// The layout of the page summaries kept in kFolder; a summary of another is not used.
constexpr int kSummaryVersion = 1;

// One picture layer of a page view: its id for the script, its label, its file name.
struct Layer {
  const char* id;
  const char* label;
  const char* outputKey;  // the report's "outputs" entry naming it
  const char* suffix;     // S-suffix when the report does not name it
};
constexpr Layer kLayers[] = {
    {"original", "Original", "original_png", "-original.png"},
    {"grey", "Greyscale", "grey_png", "-grey.png"},
    {"bilevel", "Bi-level result", "bilevel_png", "-bilevel.png"},
    {"overlay", "Map overlay", "overlay_png", "-overlay.png"},
    {"components", "Components", "components_png", "-components.png"},
};

struct Page {
  std::string stem;
  bool failed = false;
  std::string input;                // as the run was given it
  std::string error;                // for failed pages
  json report;                      // for processed pages: the report without its components
  json components = json::array();  // [left, top, width, height, size, x, y] each
  long long componentCount = 0;
  std::optional<double> seconds;
  // Whether the page view and data script are written from this report already (its summary
  // matched it), so that components holds nothing and neither needs writing again.
  bool current = false;
  std::uintmax_t reportSize = 0;
  long long reportTime = 0;  // the report's modification time, in the file clock's ticks
  std::string thumbnail;     // file name in the output folder, or empty
  std::vector<std::pair<const Layer*, std::string>> layers;  // those whose file exists
};

// ---- Text -----------------------------------------------------------------------------------

std::string Html(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A file name as a relative URL: every byte but the unreserved ones percent-encoded.
std::string Url(const std::string& name) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Seconds(double s) { return s < 10 ? Fixed(s, 3) + " s" : Fixed(s, 1) + " s"; }

// The text of a JSON value for a person: strings as they are, numbers briefly.
std::string Shown(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_float()) return Fixed(value.get<double>(), 2);
  return Dump(value);
}

std::string PageFile(const std::string& stem) { return "page-" + stem + ".html"; }
std::string DataFile(const std::string& stem) { return "page-" + stem + ".js"; }
// What a page view was written from: the report without its components, and the report's
// size and time then.
std::string SummaryFile(const std::string& stem) { return "page-" + stem + ".summary.json"; }

// ---- Reading the output folder --------------------------------------------------------------

std::optional<json> ReadJson(const fs::path& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.filename().string();
    return std::nullopt;
  }
  try {
    return json::parse(in);
  } catch (const json::exception& e) {
    error = path.filename().string() + " is not valid JSON (" + e.what() + ")";
    return std::nullopt;
  }
}

// The field of object at key when it is a number.
std::optional<double> Number(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  return it->get<double>();
}

// The page as people count it, from 1: "2 of 3" when the report gives its file's page count.
std::string PageText(const json& report, double index) {
  std::string text = Fixed(index + 1, 0);
  if (!report.is_object()) return text;
  if (auto count = Number(report, "page_count")) text += " of " + Fixed(*count, 0);
  return text;
}

// The time a page took: "seconds", else the sum of "stages".
std::optional<double> TimeOf(const json& report) {
  if (auto s = Number(report, "seconds")) return s;
  const auto stages = report.find("stages");
  if (stages == report.end() || !stages->is_array() || stages->empty()) return std::nullopt;
  double sum = 0;
  for (const json& stage : *stages)
    if (stage.is_object())
      if (auto s = Number(stage, "seconds")) sum += *s;
  return sum;
}

// The file of a picture of the page: named by the report's outputs, else by the usual name;
// empty when it does not exist.
std::string PictureOf(const fs::path& dir, const Page& page, const char* key, const char* suffix) {
  std::string name = page.stem + suffix;
  const auto outputs = page.report.find("outputs");
  if (outputs != page.report.end() && outputs->is_object()) {
    const auto it = outputs->find(key);
    if (it != outputs->end() && it->is_string())
      name = fs::path(it->get<std::string>()).filename().string();
  }
  std::error_code ec;
  return fs::is_regular_file(dir / name, ec) ? name : std::string();
}

// The components of a report, as compact rows; malformed entries are left out.
json CompactComponents(const json& components) {
  json rows = json::array();
  if (!components.is_array()) return rows;
  const auto round2 = [](double v) { return std::round(v * 100.0) / 100.0; };
  for (const json& c : components) {
    if (!c.is_object()) continue;
    const auto centre = c.find("centre");
    const json none = json::object();
    const json& at = centre != c.end() && centre->is_object() ? *centre : none;
    const auto l = Number(c, "left"), t = Number(c, "top"), w = Number(c, "width"),
               h = Number(c, "height"), n = Number(c, "size");
    if (!l || !t || !w || !h || !n) continue;
    rows.push_back({static_cast<long long>(*l), static_cast<long long>(*t),
                    static_cast<long long>(*w), static_cast<long long>(*h),
                    static_cast<long long>(*n), round2(Number(at, "x").value_or(*l + *w / 2)),
                    round2(Number(at, "y").value_or(*t + *h / 2))});
  }
  return rows;
}

fs::file_time_type TimeOfFile(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type t = fs::last_write_time(path, ec);
  return ec ? fs::file_time_type::min() : t;
}

// Fills page from its report (without the components): input, time and pictures.
void TakeReport(const fs::path& dir, json report, Page& page) {
  page.input = report.value("input", page.stem);
  page.seconds = TimeOf(report);
  page.report = std::move(report);
  page.thumbnail = PictureOf(dir, page, "thumbnail_png", "-thumbnail.png");
  for (const Layer& layer : kLayers) {
    std::string file = PictureOf(dir, page, layer.outputKey, layer.suffix);
    if (!file.empty()) page.layers.emplace_back(&layer, std::move(file));
  }
}

// Takes page's report from the summary its view was written with, when that summary is of
// this layout and of the report as it is now (same size and time), and the view and data
// script are there: the page needs no writing. False otherwise.
bool ReadSummary(const fs::path& dir, Page& page) {
  const fs::path folder = dir / kFolder;
  std::error_code ec;
  if (!fs::is_regular_file(folder / PageFile(page.stem), ec) ||
      !fs::is_regular_file(folder / DataFile(page.stem), ec))
    return false;
  std::string problem;
  std::optional<json> summary = ReadJson(folder / SummaryFile(page.stem), problem);
  if (!summary || !summary->is_object() || summary->value("version", 0) != kSummaryVersion ||
      summary->value("size", std::uintmax_t{0}) != page.reportSize ||
      summary->value("time", 0LL) != page.reportTime)
    return false;
  const auto report = summary->find("report");
  if (report == summary->end() || !report->is_object()) return false;
  page.componentCount = summary->value("component_rows", 0LL);
  TakeReport(dir, std::move(*report), page);
  page.current = true;
  return true;
}

std::string SummaryText(const Page& page) {
  const json summary = {{"version", kSummaryVersion},
                        {"size", page.reportSize},
                        {"time", page.reportTime},
                        {"component_rows", page.componentCount},
                        {"report", page.report}};
  return Dump(summary) + "\n";
}

Page ReadPage(const fs::path& dir, const std::string& stem) {
  Page page;
  page.stem = stem;
  const fs::path reportPath = dir / (stem + kReportSuffix);
  const fs::path errorPath = dir / (stem + kErrorSuffix);
  std::error_code ec;
  const bool hasReport = fs::exists(reportPath, ec);
  const bool hasError = fs::exists(errorPath, ec);
  if (hasError && (!hasReport || TimeOfFile(errorPath) > TimeOfFile(reportPath))) {
    page.failed = true;
    std::string problem;
    const std::optional<json> record = ReadJson(errorPath, problem);
    if (record && record->is_object()) {
      page.input = record->value("input", stem);
      page.error = record->value("error", std::string("failed"));
      if (const auto index = Number(*record, "page_index")) page.report["page_index"] = *index;
    } else {
      page.input = stem;
      page.error = problem.empty() ? "failed" : problem;
    }
    return page;
  }
  page.reportSize = fs::file_size(reportPath, ec);
  page.reportTime = TimeOfFile(reportPath).time_since_epoch().count();
  std::string problem;
  if (ReadSummary(dir, page)) return page;
  std::optional<json> report = ReadJson(reportPath, problem);
  if (!report || !report->is_object()) {
    page.failed = true;
    page.input = stem;
    page.error = report ? reportPath.filename().string() + " holds no report" : problem;
    return page;
  }
  if (const auto it = report->find("components"); it != report->end()) {
    page.components = CompactComponents(*it);
    report->erase(it);
  }
  page.componentCount = static_cast<long long>(page.components.size());
  TakeReport(dir, std::move(*report), page);
  return page;
}

// The pages in dir, in the order of their inputs, the pages of one input by their
// "page_index", then by stem.
std::vector<Page> ReadPages(const fs::path& dir) {
  std::set<std::string> stems;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    for (const std::string suffix : {kReportSuffix, kErrorSuffix})
      if (name.size() > suffix.size() && name[0] != '.' &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        stems.insert(name.substr(0, name.size() - suffix.size()));
  }
  std::vector<Page> pages;
  for (const std::string& stem : stems) pages.push_back(ReadPage(dir, stem));
  const auto index = [](const Page& p) {
    return Number(p.report.is_object() ? p.report : json::object(), "page_index").value_or(0);
  };
  std::stable_sort(pages.begin(), pages.end(), [&](const Page& a, const Page& b) {
    if (a.input != b.input) return a.input < b.input;
    return index(a) < index(b);
  });
  return pages;
}

// ---- Writing --------------------------------------------------------------------------------

// Writes text to path under a temporary name and renames it into place.
bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
  const fs::path temp = detail::TemporaryNameBeside(path);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      error = "cannot write " + path.string();
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    fs::remove(temp, ec);
    error = "cannot write " + path.string() + " (" + ec.message() + ")";
    return false;
  }
  return true;
}

std::string Head(const std::string& title, const std::string& css) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         Html(title) + "</title>\n<link rel=\"stylesheet\" href=\"" + css + "\">\n</head>\n";
}

// The facts of a processed page as rows of a definition list.
std::string FactsList(const Page& page) {
  const json& r = page.report;
  std::string out = "<dl class=\"facts\">\n";
  const auto row = [&out](const std::string& term, const std::string& value,
                          const char* name = "") {
    out += "<dt>" + Html(term) + "</dt><dd";
    if (*name) out += std::string(" data-fact=\"") + name + "\"";
    out += ">" + Html(value) + "</dd>\n";
  };
  row("File", page.input, "input");
  if (auto index = Number(r, "page_index")) row("Page", PageText(r, *index), "page_index");
  const auto w = Number(r, "width"), h = Number(r, "height");
  if (w && h) row("Size", Fixed(*w, 0) + " \u00d7 " + Fixed(*h, 0) + " px", "size");
  const auto dpi = Number(r, "resolution");
  row("Resolution", dpi ? Fixed(*dpi, 0) + " dpi" : "none recorded", "resolution");
  std::string method = r.value("method", std::string("?"));
  if (const auto p = r.find("parameters"); p != r.end() && p->is_object())
    for (const auto& [key, value] : p->items()) method += ", " + key + " " + Shown(value);
  row("Method", method, "method");
  if (const auto t = Number(r, "threshold")) row("Threshold", Fixed(*t, 0), "threshold");
  if (const auto s = r.find("skew"); s != r.end() && s->is_object()) {
    std::string text = Fixed(Number(*s, "angle_deg").value_or(0), 2) + "\u00b0, confidence " +
                       Fixed(Number(*s, "confidence").value_or(0), 2);
    if (s->value("trusted", false) == false) {
      const std::string reason = s->value("reason", std::string());
      text += reason.empty() ? " (not trusted)" : " (not trusted: " + reason + ")";
    }
    row("Skew", text, "skew");
  }
  if (const auto a = Number(r, "angle")) row("Turned by", Fixed(*a, 2) + "\u00b0", "angle");
  if (const auto c = Number(r, "connectivity")) row("Connectivity", Fixed(*c, 0), "connectivity");
  row("Components",
      std::to_string(static_cast<long long>(
          Number(r, "component_count").value_or(static_cast<double>(page.componentCount)))),
      "component_count");
  row("Time", page.seconds ? Seconds(*page.seconds) : "not recorded", "time");
  out += "</dl>\n";
  return out;
}

// A bar chart of the time each processed page took, as inline SVG; empty when no page has one.
std::string TimeFigure(const std::vector<Page>& pages) {
  double most = 0;
  int timed = 0;
  for (const Page& p : pages)
    if (p.seconds) {
      most = std::max(most, *p.seconds);
      ++timed;
    }
  if (timed == 0) return {};
  const int barHeight = 18, labelWidth = 180, chartWidth = 420, gap = 4;
  const int height = timed * (barHeight + gap) + 24;
  std::string svg = "<svg class=\"figure\" id=\"time-figure\" role=\"img\" viewBox=\"0 0 " +
                    std::to_string(labelWidth + chartWidth + 80) + " " + std::to_string(height) +
                    "\" aria-label=\"Time per page\">\n";
  int y = 4;
  for (const Page& p : pages) {
    if (!p.seconds) continue;
    const double w = most > 0 ? *p.seconds / most * chartWidth : 0;
    svg += "<text x=\"" + std::to_string(labelWidth - 6) + "\" y=\"" +
           std::to_string(y + barHeight - 5) + "\" text-anchor=\"end\">" + Html(p.stem) + "</text>";
    svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y) +
           "\" width=\"" + Fixed(std::max(w, 1.0), 1) + "\" height=\"" + std::to_string(barHeight) +
           "\"><title>" + Html(p.stem + ": " + Seconds(*p.seconds)) + "</title></rect>";
    svg += "<text x=\"" + Fixed(labelWidth + std::max(w, 1.0) + 6, 1) + "\" y=\"" +
           std::to_string(y + barHeight - 5) + "\">" + Seconds(*p.seconds) + "</text>\n";
    y += barHeight + gap;
  }
  svg += "<text x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(height - 4) +
         "\" class=\"axis\">seconds per page (longest " + Seconds(most) + ")</text>\n</svg>\n";
  return svg;
}

std::string IndexHtml(const std::vector<Page>& pages) {
  int failed = 0;
  long long components = 0;
  double seconds = 0;
  for (const Page& p : pages) {
    failed += p.failed;
    components += p.componentCount;
    seconds += p.seconds.value_or(0);
  }
  std::string html = Head("Vorlane report", std::string(kFolder) + "/report.css");
  html += "<body class=\"index\">\n<header><h1>Vorlane report</h1>\n<p class=\"summary\">" +
          std::to_string(pages.size()) + (pages.size() == 1 ? " page" : " pages") + ", " +
          std::to_string(failed) + " failed, " + std::to_string(components) + " components";
  if (seconds > 0) html += ", " + Seconds(seconds) + " in all";
  html += "</p>\n</header>\n<main>\n";
  if (pages.empty()) html += "<p class=\"empty\">No page results in this folder yet.</p>\n";
  const std::string figure = TimeFigure(pages);
  if (!figure.empty()) html += "<section class=\"times\"><h2>Time per page</h2>\n" + figure;
  if (!figure.empty()) html += "</section>\n";
  html += "<section class=\"cards\">\n";
  for (const Page& p : pages) {
    html += std::string("<article class=\"card") + (p.failed ? " failed" : "") + "\" data-stem=\"" +
            Html(p.stem) + "\">\n";
    const std::string link = std::string(kFolder) + "/" + Url(PageFile(p.stem));
    if (p.failed) {
      html += "<div class=\"thumb none\">failed</div>\n<h2>" + Html(p.stem) + "</h2>\n";
      html += "<dl class=\"facts\"><dt>File</dt><dd data-fact=\"input\">" + Html(p.input) + "</dd>";
      if (const auto index = Number(p.report.is_object() ? p.report : json::object(), "page_index"))
        html += "<dt>Page</dt><dd data-fact=\"page_index\">" + PageText(p.report, *index) + "</dd>";
      html += "</dl>\n<p class=\"error\">" + Html(p.error) + "</p>\n";
    } else {
      html += "<a class=\"thumb\" href=\"" + link + "\">";
      html += p.thumbnail.empty()
                  ? std::string("no thumbnail")
                  : "<img src=\"" + Url(p.thumbnail) + "\" alt=\"" + Html(p.stem) + "\">";
      html += "</a>\n<h2><a href=\"" + link + "\">" + Html(p.stem) + "</a></h2>\n";
      html += FactsList(p);
    }
    html += "</article>\n";
  }
  html += "</section>\n</main>\n</body>\n</html>\n";
  return html;
}

// The page view: facts and the skeleton the viewer script fills from the page's data script.
std::string PageHtml(const Page& page) {
  std::string html = Head(page.stem + " \u2013 Vorlane report", "report.css");
  html +=
      "<body class=\"page\">\n<header>\n<nav><a href=\"../index.html\" id=\"to-index\">"
      "Index</a> <a id=\"prev\" hidden>\u2190 previous</a> <a id=\"next\" hidden>next "
      "\u2192</a></nav>\n<h1>" +
      Html(page.stem) + "</h1>\n</header>\n<main>\n";
  html +=
      "<section class=\"viewer\">\n<div class=\"toolbar\"><span id=\"layers\"></span>"
      "<label><input type=\"checkbox\" id=\"show-boxes\"> Boxes</label>"
      "<span class=\"zoom\"><button id=\"zoom-fit\" title=\"Fit (0)\">Fit</button>"
      "<button id=\"zoom-out\" title=\"Zoom out (-)\">\u2212</button>"
      "<button id=\"zoom-one\" title=\"Actual pixels\">1:1</button>"
      "<button id=\"zoom-in\" title=\"Zoom in (+)\">+</button>"
      "<span id=\"zoom-level\"></span></span></div>\n"
      "<div id=\"viewport\" tabindex=\"0\"><div id=\"sheet\"></div></div>\n"
      "<p class=\"hint\">Wheel: zoom \u2022 drag: pan \u2022 \u2190 \u2192: previous/next page"
      " \u2022 B: boxes</p>\n</section>\n";
  html +=
      "<aside>\n<section><h2>Component under the pointer</h2>\n<p id=\"hover-info\">"
      "Point at a component.</p></section>\n";
  html += "<section><h2>Page</h2>\n" + FactsList(page) + "</section>\n";
  html +=
      "<section><h2>Component sizes</h2><div id=\"size-histogram\"></div>"
      "<h2>Component heights</h2><div id=\"height-histogram\"></div></section>\n";
  html += "<section><h2>Largest components</h2><table id=\"largest\"></table></section>\n";
  html += "</aside>\n</main>\n<script src=\"" + Url(DataFile(page.stem)) +
          "\"></script>\n<script src=\"pages.js\"></script>\n<script src=\"report.js\"></script>\n"
          "</body>\n</html>\n";
  return html;
}

// The data script of a page view: its own file name, size, layers and components.
std::string PageData(const Page& page) {
  json layers = json::array();
  for (const auto& [layer, file] : page.layers)
    layers.push_back({{"id", layer->id}, {"label", layer->label}, {"src", "../" + Url(file)}});
  const json data = {{"stem", page.stem},
                     {"view", Url(PageFile(page.stem))},
                     {"width", Number(page.report, "width").value_or(0)},
                     {"height", Number(page.report, "height").value_or(0)},
                     {"layers", layers},
                     {"components", page.components}};
  return "window.vorlanePage = " + Dump(data) + ";\n";
}

// The order of the page views, from which each finds its neighbours: a page's own files
// then need no rewriting when pages are added beside it.
std::string OrderScript(const std::vector<const Page*>& shown) {
  json views = json::array();
  for (const Page* p : shown) views.push_back(Url(PageFile(p->stem)));
  return "window.vorlaneOrder = " + Dump(views) + ";\n";
}

// Removes the page views, data scripts and summaries in folder that are not in keep.
void RemoveStale(const fs::path& folder, const std::set<std::string>& keep) {
  std::error_code ec;
  std::vector<fs::path> stale;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("page-", 0) == 0 && !keep.count(name)) stale.push_back(entry.path());
  }
  for (const fs::path& p : stale) fs::remove(p, ec);
}

}  // namespace

std::string WriteHtmlReport(const fs::path& outDir, HtmlReportSummary* summary) {
  std::error_code ec;
  if (!fs::is_directory(outDir, ec)) return outDir.string() + ": no such folder";
  // Pages finishing side by side may each ask for the report: one writes at a time.
  static std::mutex writing;
  std::lock_guard<std::mutex> lock(writing);

  const std::vector<Page> pages = ReadPages(outDir);
  const fs::path folder = outDir / kFolder;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return "cannot make " + folder.string();
  std::string error;
  if (!WriteText(folder / "report.css", detail::kHtmlReportCss, error) ||
      !WriteText(folder / "report.js", detail::kHtmlReportScript, error))
    return error;
  std::vector<const Page*> shown;
  for (const Page& p : pages)
    if (!p.failed) shown.push_back(&p);
  std::set<std::string> written;
  for (const Page* p : shown) {
    written.insert({DataFile(p->stem), PageFile(p->stem), SummaryFile(p->stem)});
    if (p->current) continue;
    // The summary last: a page whose files were not all written is written again next time.
    if (!WriteText(folder / DataFile(p->stem), PageData(*p), error) ||
        !WriteText(folder / PageFile(p->stem), PageHtml(*p), error) ||
        !WriteText(folder / SummaryFile(p->stem), SummaryText(*p), error))
      return error;
  }
  if (!WriteText(folder / "pages.js", OrderScript(shown), error)) return error;
  written.insert("pages.js");
  RemoveStale(folder, written);
  if (!WriteText(outDir / "index.html", IndexHtml(pages), error)) return error;
  if (summary) {
    summary->pages = static_cast<int>(pages.size());
    summary->failed = static_cast<int>(pages.size() - shown.size());
  }
  return {};
}

bool WritePageError(const fs::path& outDir, const std::string& stem, const std::string& input,
                    int pageIndex, const std::string& message) {
  if (stem.empty()) return false;
  const nlohmann::ordered_json record = {
      {"input", input}, {"page_index", pageIndex}, {"error", message}};
  std::string error;
  return WriteText(outDir / (stem + kErrorSuffix),
                   record.dump(1, ' ', false, json::error_handler_t::replace) + "\n", error);
}

}  // namespace vorlane
