// JPEG pictures (libjpeg-turbo) as images of the library: grey and colour.
#pragma once

#include <cstddef>

#include "vorlane/io/pages.h"

namespace vorlane {

// The facts of the JPEG file held in the size bytes at data, from its header (JFIF density:
// unit 1 dots per inch, 2 dots per centimetre, converted and rounded; 0 is none). False,
// with the reason in error, when the bytes are no JPEG or its header is damaged.
bool ReadJpegInfo(const unsigned char* data, size_t size, PageInfo& facts, std::string& error);

// Decodes the JPEG file held in the size bytes at data into a new image named name: one
// component into CGreyScaleImage, YCbCr and RGB into CHiColorImage (fourth byte 255); CMYK
// files are refused. A picture beyond the size limit is refused before its pixels are
// allocated; damaged (any warning of the decoder, such as corrupt or missing data),
// truncated or empty files give an error, never a partial image.
LoadedImage DecodeJpeg(const unsigned char* data, size_t size, const wchar_t* name);

}  // namespace vorlane
