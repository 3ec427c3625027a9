// The texts of info and skew, and the picture of show.
#include "vorlane/pipeline/inspect.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "platform/platform.h"
#include "vorlane/io/pages.h"
#include "vorlane/pipeline/page_loading.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/pipeline/views.h"
#include "vorlane/pipeline/vocabulary.h"
#include "vorlane/process.h"

namespace vorlane::pipeline {
namespace {

const char* LabelModeName(unsigned char mode) {
  switch (mode) {
    case MAP_BIT_LABELS:
      return "bit labels";
    case MAP_BYTE_LABELS:
      return "byte labels";
    default:
      return "no labels";
  }
}

void DescribeMap(const CImageMap& map, bool current, std::ostream& out) {
  std::array<long long, 256> bytes{};
  for (int y = 0; y < map.GetHeight(); ++y) {
    const unsigned char* row = map.GetLine(y);
    for (int x = 0; x < map.GetWidth(); ++x) ++bytes[row[x]];
  }
  out << "  \"" << Utf8(map.GetName().GetString()) << "\" (" << LabelModeName(map.GetLabelMode())
      << (current ? ", current" : "") << ")\n";
  for (int i = 0; i < map.GetPTCount(); ++i) {
    if (!map.GetPTVisible(i)) continue;
    const wchar_t* name = map.GetPTName(i);
    const unsigned char label = map.GetPTByteLabel(name);
    long long count = 0;
    for (int b = 0; b < 256; ++b)
      if (map.ByteIsOfType(static_cast<unsigned char>(b), label)) count += bytes[b];
    out << "    " << Utf8(name) << ": " << count << " pixels\n";
  }
}

const char* KindName(PageFileKind kind) {
  switch (kind) {
    case PageFileKind::tiff:
      return "TIFF";
    case PageFileKind::png:
      return "PNG";
    case PageFileKind::jpeg:
      return "JPEG";
    case PageFileKind::archive:
      return "archive";
    case PageFileKind::unknown:
      break;
  }
  return "unknown";
}

}  // namespace

std::string DescribePage(const std::filesystem::path& file, CImage& image) {
  std::ostringstream out;
  out << "file:        " << file.string() << "\n"
      << "format:      " << KindName(DetectPageFileKind(file)) << ", " << FormatName(image) << "\n"
      << "size:        " << image.GetWidth() << " x " << image.GetHeight() << "\n"
      << "resolution:  "
      << (HasResolution(image.GetDPI()) ? std::to_string(image.GetDPI()) + " dpi" : "none") << "\n"
      << "name:        " << Utf8(image.GetName()) << "\n"
      << "maps:        " << image.GetImageMapCount() << "\n";
  for (int i = 0; i < image.GetImageMapCount(); ++i)
    if (const CImageMap* map = image.GetImageMap(i))
      DescribeMap(*map, i == image.GetCurrentMapIndex(), out);
  out << "components:  " << image.GetMaxComponent() << "\n";
  return out.str();
}

std::string DescribePages(const std::filesystem::path& file) {
  OpenedPages opened = OpenPages(file);
  if (!opened.source) return {};
  std::ostringstream out;
  out << "pages:       " << opened.source->Count() << "\n";
  for (int i = 0; i < opened.source->Count(); ++i) {
    const PageInfo& page = opened.source->Info(i);
    out << "  page " << i + 1 << ": " << page.width << " x " << page.height << ", "
        << (page.format.empty() ? "unreadable kind" : page.format) << ", " << page.bitsPerSample
        << (page.bitsPerSample == 1 ? " bit" : " bits") << " x " << page.samplesPerPixel << ", "
        << page.compression << ", "
        << (page.dpiX > 0 ? std::to_string(page.dpiX) + " dpi" : "no resolution") << "\n";
  }
  return out.str();
}

std::string DescribeSkew(const SkewEstimate& e, bool json) {
  // Why an estimate is not trusted ("blank", "no lines", ...); a trusted one has no reason.
  const char* reason = SkewReasonText(e.reason);
  const bool hasReason = !e.trusted && reason && *reason;
  if (json) {
    nlohmann::ordered_json out = {
        {"angle_deg", e.angleDegrees}, {"confidence", e.confidence}, {"trusted", e.trusted}};
    if (hasReason) out["reason"] = reason;
    return out.dump() + "\n";
  }
  char line[96];
  std::snprintf(line, sizeof line, "skew: %.2f degrees, confidence %.2f", e.angleDegrees,
                e.confidence);
  std::string text = line;
  if (!e.trusted)
    text += hasReason ? std::string(" (not trusted: ") + reason + ")" : " (not trusted)";
  return text + "\n";
}

bool RenderShow(CImage& image, const ShowSettings& settings, CBitmap& bitmap) {
  const View view = settings.thumbnail    ? View::thumbnail
                    : settings.components ? View::components
                    : settings.maps       ? View::overlay
                                          : View::plain;
  bool rendered = RenderView(image, view, bitmap);
  // Maps and components together: the overlay view with the components painted on it.
  if (rendered && settings.maps && settings.components && !settings.thumbnail) {
    rendered = RenderView(image, View::overlay, bitmap);
    if (rendered) image.ShowPhysicalStructure(&bitmap);
  }
  return rendered;
}

}  // namespace vorlane::pipeline
