// The info and show subcommands: what a page file holds, and its display bitmap as a PNG.
#pragma once

#include <filesystem>
#include <ostream>

namespace vorlane::cli {

// Prints format, size, resolution, name, maps (name, label mode, pixels per visible type)
// and components of file. Returns the exit code (failures print "vorlane: FILE: problem").
int RunInfo(const std::filesystem::path& file, std::ostream& out);

struct ShowSettings {
  bool maps = false;        // paint the colours of the current and "Dorvale" maps
  bool components = false;  // paint the components in rotating colours
  bool thumbnail = false;   // write the 100 x 100 thumbnail instead
};

// Writes the display bitmap of file as a PNG at output (temporary name, then renamed).
int RunShow(const std::filesystem::path& file, const std::filesystem::path& output,
            const ShowSettings& settings);

}  // namespace vorlane::cli
