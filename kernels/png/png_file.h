// Writing an encoded PNG file so that no partial file is ever left under its name.
#pragma once

#include <filesystem>

#include "kernels/png/png_encoder.h"

namespace vorlane::detail {

// Encodes picture at the views' compression level and writes it beside path under a
// temporary name, renamed into place when complete. False, leaving no file behind and an
// existing file at path as it was, when the picture cannot be encoded or the file written.
bool WritePngFile(const PngPicture& picture, const std::filesystem::path& path);

}  // namespace vorlane::detail
