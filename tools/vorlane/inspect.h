// The info, skew and show subcommands: what a page file holds, how it is skewed, and its
// display bitmap as a PNG.
#pragma once

#include <filesystem>
#include <ostream>

namespace vorlane::cli {

// Prints format, size, resolution, name, maps (name, label mode, pixels per visible type)
// and components of file. Returns the exit code (failures print "vorlane: FILE: problem").
int RunInfo(const std::filesystem::path& file, std::ostream& out);

// Prints the skew estimate of file: "skew: ANGLE degrees, confidence C" with "(not
// trusted)" when it is not; with json, one object with angle_deg, confidence and trusted.
// Returns the exit code.
int RunSkew(const std::filesystem::path& file, bool json, std::ostream& out);

struct ShowSettings {
  bool maps = false;        // paint the colours of the current and "Dorvale" maps
  bool components = false;  // paint the components in rotating colours
  bool thumbnail = false;   // write the 100 x 100 thumbnail instead
};

// Writes the display bitmap of file as a PNG at output (temporary name, then renamed).
int RunShow(const std::filesystem::path& file, const std::filesystem::path& output,
            const ShowSettings& settings);

}  // namespace vorlane::cli
