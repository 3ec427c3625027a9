// The info, skew and show subcommands.
#include "inspect.h"

#include <vorlane/vorlane.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "jobs.h"
#include "outputs.h"
#include "page_io.h"
#include "views.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

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

void PrintMap(const CImageMap& map, bool current, std::ostream& out) {
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

}  // namespace

int RunInfo(const fs::path& file, std::ostream& out) {
  LoadedPage page = LoadPage(file);
  if (!page.image) {
    std::fprintf(stderr, "vorlane: %s: %s\n", file.c_str(), page.error.c_str());
    return kExitFileFailed;
  }
  CImage& image = *page.image;
  const bool archive = file.extension() == ".vlx" || file.extension() == ".VLX";
  out << "file:        " << file.string() << "\n"
      << "format:      " << (archive ? "archive" : "TIFF") << ", " << FormatName(image) << "\n"
      << "size:        " << image.GetWidth() << " x " << image.GetHeight() << "\n"
      << "resolution:  "
      << (HasResolution(image.GetDPI()) ? std::to_string(image.GetDPI()) + " dpi" : "none") << "\n"
      << "name:        " << Utf8(image.GetName()) << "\n"
      << "maps:        " << image.GetImageMapCount() << "\n";
  for (int i = 0; i < image.GetImageMapCount(); ++i)
    if (const CImageMap* map = image.GetImageMap(i))
      PrintMap(*map, i == image.GetCurrentMapIndex(), out);
  out << "components:  " << image.GetMaxComponent() << "\n";
  return kExitOk;
}

int RunSkew(const fs::path& file, bool json, std::ostream& out) {
  LoadedPage page = LoadPage(file);
  if (!page.image) {
    std::fprintf(stderr, "vorlane: %s: %s\n", file.c_str(), page.error.c_str());
    return kExitFileFailed;
  }
  const SkewEstimate e = EstimateSkew(*page.image);
  if (json) {
    out << nlohmann::json{{"angle_deg", e.angleDegrees},
                          {"confidence", e.confidence},
                          {"trusted", e.trusted}}
               .dump()
        << "\n";
    return kExitOk;
  }
  char line[96];
  std::snprintf(line, sizeof line, "skew: %.2f degrees, confidence %.2f%s\n", e.angleDegrees,
                e.confidence, e.trusted ? "" : " (not trusted)");
  out << line;
  return kExitOk;
}

int RunShow(const fs::path& file, const fs::path& output, const ShowSettings& settings) {
  LoadedPage page = LoadPage(file);
  if (!page.image) {
    std::fprintf(stderr, "vorlane: %s: %s\n", file.c_str(), page.error.c_str());
    return kExitFileFailed;
  }
  const View view = settings.thumbnail    ? View::thumbnail
                    : settings.components ? View::components
                    : settings.maps       ? View::overlay
                                          : View::plain;
  CBitmap bitmap;
  bool rendered = RenderView(*page.image, view, bitmap);
  // Maps and components together: the overlay view with the components painted on it.
  if (rendered && settings.maps && settings.components && !settings.thumbnail) {
    rendered = RenderView(*page.image, View::overlay, bitmap);
    if (rendered) page.image->ShowPhysicalStructure(&bitmap);
  }
  if (!rendered) {
    std::fprintf(stderr, "vorlane: %s: the library gave no display bitmap\n", file.c_str());
    return kExitFileFailed;
  }
  PendingFiles files;
  std::string error;
  if (!WriteBitmapPng(bitmap, files.Add(output)) || !files.Commit(error)) {
    std::fprintf(stderr, "vorlane: %s: cannot write %s\n", file.c_str(), output.c_str());
    return kExitFileFailed;
  }
  return kExitOk;
}

}  // namespace vorlane::cli
