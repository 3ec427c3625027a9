// PNG pictures (libpng) as images of the library.
//
// libpng reports errors by a long jump back into the function that armed it. The functions
// that arm it (ReadHeader, DecodeRows) hold no object with a destructor and change no local
// after arming, so the jump skips nothing; the C++ work happens between their calls.
#include "vorlane/io/png_reader.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imageclasses/image.h"
#include "kernels/io/alpha_over_white.h"
#include "kernels/io/picture_size.h"
#include "kernels/io/tiff_samples.h"
#include "vorlane/io/new_image.h"

namespace vorlane {
namespace {

// The bytes libpng reads from, and the message of its error.
struct Input {
  const unsigned char* data;
  size_t size;
  size_t offset;
  char message[200];
};

void ReadInput(png_structp png, png_bytep out, size_t count) {
  auto* input = static_cast<Input*>(png_get_io_ptr(png));
  if (count > input->size - input->offset) png_error(png, "the file is truncated");
  std::memcpy(out, input->data + input->offset, count);
  input->offset += count;
}

void OnError(png_structp png, png_const_charp message) {
  auto* input = static_cast<Input*>(png_get_error_ptr(png));
  std::snprintf(input->message, sizeof input->message, "%s", message ? message : "error");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // ancillary damage is dropped, not reported

// A read structure and its info structure, destroyed together.
class PngReader {
 public:
  PngReader(const unsigned char* data, size_t size) : m_input{data, size, 0, {}} {
    m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_input, OnError, OnWarning);
    if (m_png) m_info = png_create_info_struct(m_png);
  }
  ~PngReader() { png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  bool Ready() const { return m_png && m_info; }
  png_structp png() const { return m_png; }
  png_infop info() const { return m_info; }
  Input& input() { return m_input; }

 private:
  Input m_input;
  png_structp m_png = nullptr;
  png_infop m_info = nullptr;
};

// Reads the signature and the chunks up to the pixels. False on an error of libpng.
bool ReadHeader(PngReader& reader) {
  png_structp png = reader.png();
  png_infop info = reader.info();
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &reader.input(), ReadInput);
  // The size limit of the library is checked after the header; libpng's own limit on the
  // sides stays (a million pixels).
  png_read_info(png, info);
  return true;
}

// Decodes count rows (all passes of an interlaced file when rows holds the whole picture)
// into rows, and with last reads the chunks after the pixels. False on an error of libpng.
bool DecodeRows(png_structp png, png_infop info, png_bytepp rows, png_uint_32 count, bool image,
                bool last) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (image) {
    png_read_image(png, rows);
  } else {
    png_read_rows(png, rows, nullptr, count);
  }
  if (last) png_read_end(png, info);
  return true;
}

// Arms the transforms of the header just read: 8-bit samples (2- and 4-bit grey scaled, 16
// bits cut to their high byte, palettes expanded), transparent values as alpha, colour as
// blue, green, red and a fourth byte. Returns the image format; grey 1-bit files without
// transparency keep their packed rows.
detail::NewImageFormat ArmTransforms(png_structp png, png_infop info) {
  const int colourType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colourType == PNG_COLOR_TYPE_GRAY && depth == 1 && !transparent) {
    return detail::NewImageFormat::kBiLevel;
  }
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (transparent) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  const bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
  if (!grey) {
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // a fourth byte where there is no alpha
  }
  return grey ? detail::NewImageFormat::kGrey : detail::NewImageFormat::kColour;
}

// Arms the transforms (ArmTransforms, and the passes of an interlaced file) and updates the
// info structure to the rows they give; *format receives the image format. False on an
// error of libpng.
bool PrepareRows(png_structp png, png_infop info, bool interlaced, detail::NewImageFormat* format) {
  if (setjmp(png_jmpbuf(png))) return false;
  *format = ArmTransforms(png, info);
  if (interlaced) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

// Dots per inch of a pHYs value in pixels per metre, rounded.
int DpiOfPixelsPerMetre(png_uint_32 perMetre) {
  return static_cast<int>(std::lround(static_cast<double>(perMetre) * 0.0254));
}

void FillInfo(png_structp png, png_infop info, PageInfo& facts) {
  const int colourType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  facts = PageInfo{};
  facts.width = static_cast<int>(png_get_image_width(png, info));
  facts.height = static_cast<int>(png_get_image_height(png, info));
  facts.bitsPerSample = depth;
  facts.samplesPerPixel = png_get_channels(png, info);
  facts.compression = "png";
  if (colourType == PNG_COLOR_TYPE_GRAY && depth == 1 && !transparent) {
    facts.format = "bi-level";
  } else {
    facts.format = (colourType & PNG_COLOR_MASK_COLOR) ? "colour" : "greyscale";
  }
  png_uint_32 x = 0, y = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER) {
    facts.dpiX = DpiOfPixelsPerMetre(x);
    facts.dpiY = DpiOfPixelsPerMetre(y);
  }
}

std::string Damaged(const Input& input) { return std::string("damaged PNG: ") + input.message; }

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

bool ReadPngInfo(const unsigned char* data, size_t size, PageInfo& facts, std::string& error) {
  if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0) {
    error = "not a PNG file";
    return false;
  }
  PngReader reader(data, size);
  if (!reader.Ready()) {
    error = "out of memory";
    return false;
  }
  if (!ReadHeader(reader)) {
    error = Damaged(reader.input());
    return false;
  }
  FillInfo(reader.png(), reader.info(), facts);
  return true;
}

LoadedImage DecodePng(const unsigned char* data, size_t size, const wchar_t* name) {
  LoadedImage result;
  PageInfo facts;
  if (!ReadPngInfo(data, size, facts, result.error)) return result;
  PngReader reader(data, size);
  if (!reader.Ready() || !ReadHeader(reader)) {
    result.error = reader.Ready() ? Damaged(reader.input()) : "out of memory";
    return result;
  }
  png_structp png = reader.png();
  png_infop info = reader.info();
  const auto width = png_get_image_width(png, info);
  const auto height = png_get_image_height(png, info);
  const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  detail::NewImageFormat format = detail::NewImageFormat::kGrey;
  if (!PrepareRows(png, info, interlaced, &format)) {
    result.error = Damaged(reader.input());
    return result;
  }
  detail::NewImage made;
  if (!detail::MakeNewImage(format, width, height, name, made, result.error)) return result;
  const size_t rowBytes = png_get_rowbytes(png, info);
  const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0;

  // Grey and colour rows without alpha decode straight into the pixel rows; the others
  // (packed bits, grey and alpha pairs) into scratch rows first: the whole picture when it is
  // interlaced, else blocks of rows.
  const bool direct = format == detail::NewImageFormat::kColour ||
                      (format == detail::NewImageFormat::kGrey && !alpha);
  const uint32_t block = direct       ? height
                         : interlaced ? height
                                      : std::max<uint32_t>(1, (256u << 10) / rowBytes);
  std::vector<unsigned char> scratch;
  std::vector<png_bytep> rows(std::min(block, height));
  if (!direct) {
    if (static_cast<uint64_t>(rowBytes) * rows.size() >
        static_cast<uint64_t>(detail::kMaxPictureBytes)) {
      result.error = "the interlaced picture exceeds the size limit";
      return result;
    }
    scratch.resize(rowBytes * rows.size());
    for (size_t r = 0; r < rows.size(); ++r) rows[r] = scratch.data() + r * rowBytes;
  }
  for (uint32_t top = 0; top < height; top += block) {
    const uint32_t count = std::min(block, height - top);
    if (direct) {
      for (uint32_t r = 0; r < count; ++r) rows[r] = made.rows[top + r];
    }
    if (!DecodeRows(png, info, rows.data(), count, interlaced, top + count == height)) {
      result.error = Damaged(reader.input());
      return result;
    }
    for (uint32_t r = 0; r < count; ++r) {
      unsigned char* row = made.rows[top + r];
      if (format == detail::NewImageFormat::kBiLevel) {
        detail::UnpackFirstBitSamples(rows[r], width, 1, false, row);
      } else if (format == detail::NewImageFormat::kGrey && alpha) {
        detail::GreyAlphaOverWhite(rows[r], width, row);
      } else if (format == detail::NewImageFormat::kColour && alpha) {
        detail::BgraOverWhite(row, width);
      }
    }
  }
  if (facts.dpiX > 0 && facts.dpiY > 0) made.image->SetDPI(facts.dpiX, facts.dpiY, 0);
  result.image = std::move(made.image);
  return result;
}

}  // namespace vorlane
