// The shared words: method names and their values, format names, page outcomes.
#include "vorlane/pipeline/vocabulary.h"

#include <algorithm>
#include <array>

#include "imageclasses/image.h"
#include "vorlane/io/tiff_export.h"
#include "vorlane/process.h"

namespace vorlane {
namespace {

constexpr std::array<const char*, 3> kMethodNames = {"niblack", "weszka", "global"};
constexpr std::array<const char*, 3> kCompressionNames = {"g4", "lzw", "none"};
constexpr std::array<TiffCompression, 3> kCompressions = {TiffCompression::g4, TiffCompression::lzw,
                                                          TiffCompression::none};

constexpr std::array<pipeline::FormatNames, 5> kFormats = {{
    {pipeline::PageFormat::bilevel, "bi-level", "bilevel"},
    {pipeline::PageFormat::greyscale, "greyscale", "greyscale"},
    {pipeline::PageFormat::palette, "palette", "palette"},
    {pipeline::PageFormat::colour, "colour", "colour"},
    {pipeline::PageFormat::none, "unknown", "none"},
}};

}  // namespace

const char* MethodName(ThresholdMethod method) {
  const auto index = static_cast<size_t>(method);
  return index < kMethodNames.size() ? kMethodNames[index] : "unknown";
}

namespace pipeline {

std::optional<ThresholdMethod> MethodFromName(std::string_view name) {
  const auto it = std::find(kMethodNames.begin(), kMethodNames.end(), name);
  if (it == kMethodNames.end()) return std::nullopt;
  return static_cast<ThresholdMethod>(it - kMethodNames.begin());
}

std::span<const char* const> MethodNames() { return kMethodNames; }

std::string ChooseMethod(ThresholdMethod method, std::optional<int> value,
                         ProcessOptions& options) {
  switch (method) {
    case ThresholdMethod::niblack:
      if (value && (*value < 1 || *value > 1000))
        return "the Niblack half window must be a whole number from 1 to 1000";
      options.halfWindow = value.value_or(0);
      break;
    case ThresholdMethod::weszka:
      if (value) return "the Weszka-Rosenfeld threshold takes no value";
      break;
    case ThresholdMethod::global:
      if (!value || *value < 0 || *value > 255)
        return "a global threshold needs a value from 0 to 255 (global:T)";
      options.globalThreshold = *value;
      break;
  }
  options.method = method;
  return {};
}

std::string ParseMethod(std::string_view text, ProcessOptions& options) {
  const auto colon = text.find(':');
  const std::optional<ThresholdMethod> method = MethodFromName(text.substr(0, colon));
  std::optional<int> value;
  if (colon != std::string_view::npos) {
    // A value that is no whole number of at most four digits stands as -1, outside every
    // method's range.
    const std::string_view digits = text.substr(colon + 1);
    value = -1;
    if (!digits.empty() && digits.size() <= 4 &&
        digits.find_first_not_of("0123456789") == std::string_view::npos)
      value = std::stoi(std::string(digits));
  }
  if (!method || (*method == ThresholdMethod::weszka && value))
    return "unknown threshold \"" + std::string(text) +
           "\" (niblack[:HALFWINDOW], weszka or global:T)";
  return ChooseMethod(*method, value, options);
}

std::string ParsePages(std::string_view text, PageSelection& selection) {
  PageSelection ranges;
  const std::string problem =
      "expected page numbers from 1 and ranges such as 1,3-5, not \"" + std::string(text) + "\"";
  // A number of at most six digits, from 1; 0 for anything else.
  const auto number = [](std::string_view digits) {
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
      return 0;
    return std::stoi(std::string(digits));
  };
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = text.substr(start, comma - start);
    const size_t dash = item.find('-');
    PageRange range;
    range.first = number(item.substr(0, dash));
    range.last = dash == std::string_view::npos ? range.first : number(item.substr(dash + 1));
    if (range.first < 1 || range.last < range.first) return problem;
    ranges.push_back(range);
    start = comma + 1;
  }
  selection = std::move(ranges);
  return {};
}

std::optional<TiffCompression> CompressionFromName(std::string_view name) {
  for (size_t i = 0; i < kCompressionNames.size(); ++i)
    if (name == kCompressionNames[i]) return kCompressions[i];
  return std::nullopt;
}

std::span<const char* const> CompressionNames() { return kCompressionNames; }

bool Selects(const PageSelection& selection, int number) {
  if (selection.empty()) return true;
  return std::any_of(selection.begin(), selection.end(), [number](const PageRange& r) {
    return number >= r.first && number <= r.last;
  });
}

std::span<const FormatNames> Formats() { return std::span(kFormats).first(4); }

const FormatNames& NamesOf(PageFormat format) {
  for (const FormatNames& names : kFormats)
    if (names.format == format) return names;
  return kFormats.back();
}

PageFormat FormatOf(const CImage& image) {
  if (image.IsType(IMAGE_TYPE_BILEVEL)) return PageFormat::bilevel;
  if (image.IsType(IMAGE_TYPE_GREYSCALE)) return PageFormat::greyscale;
  if (image.IsType(IMAGE_TYPE_LOCOLOR)) return PageFormat::palette;
  if (image.IsType(IMAGE_TYPE_HICOLOR)) return PageFormat::colour;
  return PageFormat::none;
}

const char* FormatName(const CImage& image) { return NamesOf(FormatOf(image)).report; }

const char* OutcomeName(PageOutcome outcome) {
  switch (outcome) {
    case PageOutcome::written:
      return "written";
    case PageOutcome::skipped:
      return "skipped";
    case PageOutcome::cancelled:
      return "cancelled";
    case PageOutcome::failed:
      break;
  }
  return "failed";
}

PageStatus Failed(std::string message) { return {PageOutcome::failed, std::move(message)}; }

PageStatus Cancelled() { return {PageOutcome::cancelled, "interrupted"}; }

}  // namespace pipeline
}  // namespace vorlane
