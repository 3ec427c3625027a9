// JPEG pictures (libjpeg-turbo) as images of the library.
//
// libjpeg reports errors through its error manager, which jumps back into the function that
// armed it. The functions that arm it (ReadHeader, StartDecoding, DecodeRows) hold no object
// with a destructor and change no local after arming; the C++ work happens between calls.
#include "vorlane/io/jpeg_reader.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "imageclasses/image.h"
#include "kernels/io/picture_size.h"
#include "vorlane/io/new_image.h"

namespace vorlane {
namespace {

// The error manager with the jump back and the first message.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool warned = false;
};

void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings (corrupt data, premature end of data) make the picture damaged: the decoder would
// fill what it could not read with grey.
void OnMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  if (level < 0 && !errors->warned) {
    errors->warned = true;
    (*info->err->format_message)(info, errors->message);
  }
}

// A decompression object and its error manager, destroyed together.
class JpegReader {
 public:
  JpegReader() {
    m_info.err = jpeg_std_error(&m_errors.base);
    m_errors.base.error_exit = OnError;
    m_errors.base.emit_message = OnMessage;
    m_errors.message[0] = 0;
  }
  ~JpegReader() {
    if (m_created) jpeg_destroy_decompress(&m_info);
  }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
  jpeg_decompress_struct& info() { return m_info; }
  ErrorManager& errors() { return m_errors; }
  void Created() { m_created = true; }

 private:
  jpeg_decompress_struct m_info{};
  ErrorManager m_errors{};
  bool m_created = false;
};

bool ReadHeader(JpegReader& reader, const unsigned char* data, size_t size) {
  jpeg_decompress_struct& info = reader.info();
  if (setjmp(reader.errors().jump)) return false;
  jpeg_create_decompress(&info);
  reader.Created();
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  return true;
}

bool StartDecoding(JpegReader& reader, bool grey) {
  jpeg_decompress_struct& info = reader.info();
  if (setjmp(reader.errors().jump)) return false;
  info.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
  jpeg_start_decompress(&info);
  return true;
}

// Decodes every row into rows and finishes the file.
bool DecodeRows(JpegReader& reader, unsigned char* const* rows) {
  jpeg_decompress_struct& info = reader.info();
  if (setjmp(reader.errors().jump)) return false;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows[info.output_scanline];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

int DpiOf(unsigned unit, unsigned density) {
  if (unit == 1) return static_cast<int>(density);
  if (unit == 2) return static_cast<int>(std::lround(density * 2.54));
  return 0;
}

void FillInfo(const jpeg_decompress_struct& info, PageInfo& facts) {
  facts = PageInfo{};
  facts.width = static_cast<int>(info.image_width);
  facts.height = static_cast<int>(info.image_height);
  facts.bitsPerSample = info.data_precision;
  facts.samplesPerPixel = info.num_components;
  facts.compression = "jpeg";
  facts.format = info.num_components == 1                                        ? "greyscale"
                 : info.jpeg_color_space == JCS_CMYK || info.num_components == 4 ? ""
                                                                                 : "colour";
  if (info.saw_JFIF_marker) {
    facts.dpiX = DpiOf(info.density_unit, info.X_density);
    facts.dpiY = DpiOf(info.density_unit, info.Y_density);
  }
}

std::string Damaged(const ErrorManager& errors) {
  return std::string("damaged JPEG: ") + errors.message;
}

}  // namespace

bool ReadJpegInfo(const unsigned char* data, size_t size, PageInfo& facts, std::string& error) {
  if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
    error = "not a JPEG file";
    return false;
  }
  JpegReader reader;
  if (!ReadHeader(reader, data, size)) {
    error = Damaged(reader.errors());
    return false;
  }
  FillInfo(reader.info(), facts);
  return true;
}

LoadedImage DecodeJpeg(const unsigned char* data, size_t size, const wchar_t* name) {
  LoadedImage result;
  PageInfo facts;
  if (!ReadJpegInfo(data, size, facts, result.error)) return result;
  if (facts.format.empty()) {
    result.error = "CMYK JPEG pictures are not read";
    return result;
  }
  JpegReader reader;
  if (!ReadHeader(reader, data, size)) {
    result.error = Damaged(reader.errors());
    return result;
  }
  const bool grey = facts.format == "greyscale";
  detail::NewImage made;
  // The size is checked before the decoder allocates anything for the pixels.
  if (!detail::MakeNewImage(grey ? detail::NewImageFormat::kGrey : detail::NewImageFormat::kColour,
                            reader.info().image_width, reader.info().image_height, name, made,
                            result.error)) {
    return result;
  }
  if (!StartDecoding(reader, grey) || !DecodeRows(reader, made.rows)) {
    result.error = Damaged(reader.errors());
    return result;
  }
  if (reader.errors().warned) {
    result.error = Damaged(reader.errors());
    return result;
  }
  if (facts.dpiX > 0 && facts.dpiY > 0) made.image->SetDPI(facts.dpiX, facts.dpiY, 0);
  result.image = std::move(made.image);
  return result;
}

}  // namespace vorlane
