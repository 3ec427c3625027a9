// The words the tool, the Python module and the reports share: threshold methods with their
// parameters, pixel formats and page outcomes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CImage;

namespace vorlane {

struct ProcessOptions;
enum class TiffCompression;

enum class ThresholdMethod { niblack, weszka, global };

// The text of a method for messages and reports: "niblack", "weszka", "global".
const char* MethodName(ThresholdMethod method);

namespace pipeline {

// The method called name ("niblack", "weszka", "global"), or none.
std::optional<ThresholdMethod> MethodFromName(std::string_view name);

// Every method name, in the order above, for messages that list them.
std::span<const char* const> MethodNames();

// Sets options' method and its value: the Niblack half window (1 to 1000; none derives it
// from the resolution), nothing for Weszka, the global threshold (0 to 255, required).
// Returns the problem, or an empty string (options then changed).
std::string ChooseMethod(ThresholdMethod method, std::optional<int> value, ProcessOptions& options);

// Reads "niblack", "niblack:HALFWINDOW", "weszka" or "global:T" into options (ChooseMethod
// with the value after the colon); returns the problem, or an empty string.
std::string ParseMethod(std::string_view text, ProcessOptions& options);

// Ranges of page numbers from 1, both ends included.
struct PageRange {
  int first = 1;
  int last = 1;
};
using PageSelection = std::vector<PageRange>;

// Reads "1,3-5" (numbers and ranges from 1, separated by commas) into selection; returns the
// problem, or an empty string (selection then set).
std::string ParsePages(std::string_view text, PageSelection& selection);

// True when selection is empty or names page number (from 1).
bool Selects(const PageSelection& selection, int number);

// The bi-level TIFF compression called name ("g4", "lzw", "none"), or none.
std::optional<TiffCompression> CompressionFromName(std::string_view name);

// Every compression name the pipeline takes, in the order above, for messages and choices.
std::span<const char* const> CompressionNames();

enum class PageFormat { none, bilevel, greyscale, palette, colour };

// The names of a pixel format: the one of reports and the tool ("bi-level"), and the one of
// the Python module ("bilevel").
struct FormatNames {
  PageFormat format;
  const char* report;
  const char* python;
};

// The four pixel formats: bi-level, greyscale, palette, colour.
std::span<const FormatNames> Formats();

// The names of format; for none "unknown" and "none".
const FormatNames& NamesOf(PageFormat format);

// The format of image by its type flags, bi-level first, then greyscale, palette, colour.
PageFormat FormatOf(const CImage& image);

// The report name of image's format: "bi-level", "greyscale", "palette", "colour" or
// "unknown".
const char* FormatName(const CImage& image);

// What became of a page: its outputs written, skipped (its report exists), failed, or
// cancelled by a stop request.
enum class PageOutcome { written, skipped, failed, cancelled };

// "written", "skipped", "failed" or "cancelled".
const char* OutcomeName(PageOutcome outcome);

// An outcome with its message: the problem for failed, "interrupted" for cancelled.
struct PageStatus {
  PageOutcome outcome = PageOutcome::failed;
  std::string message;
};

PageStatus Failed(std::string message);
PageStatus Cancelled();

}  // namespace pipeline
}  // namespace vorlane
