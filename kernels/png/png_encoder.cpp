// PNG encoding of view pictures: chunks, banded deflate and the palette search.
#include "kernels/png/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {
namespace {

// PNG's largest width and height (2^31 - 1); the views are far smaller.
constexpr std::int64_t kLargestSide = 0x7FFFFFFF;
// Largest IDAT chunk written: readers handle any size, but smaller chunks keep their CRC
// passes within the cache.
constexpr size_t kIdatBytes = size_t{1} << 20;

void PutBig32(std::vector<unsigned char>& out, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v >> 24),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  out.insert(out.end(), b, b + 4);
}

// Appends a chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<unsigned char>& out, const char* type, const unsigned char* data,
              size_t size) {
  PutBig32(out, static_cast<std::uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  uLong crc = crc32(0L, Z_NULL, 0);
  // The CRC is taken in pieces that fit zlib's unsigned int length.
  for (size_t done = start; done < out.size();) {
    const size_t piece = std::min<size_t>(out.size() - done, size_t{1} << 30);
    crc = crc32(crc, out.data() + done, static_cast<uInt>(piece));
    done += piece;
  }
  PutBig32(out, static_cast<std::uint32_t>(crc));
}

// One band of the image data: rows [first, last) with their filter bytes, as raw deflate
// blocks that end on a byte boundary (sync flush) or, for the last band, with the final
// block; also the Adler-32 of the uncompressed bytes and their count.
struct DeflatedBand {
  std::vector<unsigned char> bytes;
  uLong adler = 1;
  std::int64_t length = 0;
  bool ok = false;
};

void DeflateBand(const PngPicture& picture, int level, int first, int last, bool final,
                 DeflatedBand& band) {
  z_stream z{};
  // Palette pictures (labels, noisy paper in few levels) deflate smaller and as fast with
  // run-length matches only; RGB pictures need zlib's full match search.
  const int strategy = picture.IsPalette() ? Z_RLE : Z_DEFAULT_STRATEGY;
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) return;
  const size_t rowBytes = static_cast<size_t>(picture.RowBytes()) + 1;
  std::vector<unsigned char> row(rowBytes);
  band.adler = adler32(0L, Z_NULL, 0);
  band.length = static_cast<std::int64_t>(rowBytes) * (last - first);
  // A first guess of a tenth of the raw size; the output grows when deflate needs more.
  band.bytes.resize(std::max<size_t>(rowBytes * static_cast<size_t>(last - first) / 10, 4096));
  size_t written = 0;
  bool ok = true;
  for (int y = first; y < last && ok; ++y) {
    row[0] = 0;  // filter type none
    picture.row(y, row.data() + 1);
    band.adler = adler32(band.adler, row.data(), static_cast<uInt>(rowBytes));
    z.next_in = row.data();
    z.avail_in = static_cast<uInt>(rowBytes);
    const int flush = y + 1 < last ? Z_NO_FLUSH : (final ? Z_FINISH : Z_SYNC_FLUSH);
    for (;;) {
      if (written == band.bytes.size()) band.bytes.resize(band.bytes.size() * 2);
      z.next_out = band.bytes.data() + written;
      z.avail_out = static_cast<uInt>(std::min<size_t>(band.bytes.size() - written, 1u << 30));
      const uInt room = z.avail_out;
      const int status = deflate(&z, flush);
      written += room - z.avail_out;
      if (status == Z_STREAM_ERROR) {
        ok = false;
        break;
      }
      // Done with this row when its input is taken and, for a flush, the output has room
      // left (deflate wrote all it had); Z_FINISH ends with the stream's end.
      if (flush == Z_FINISH ? status == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0) break;
    }
  }
  band.bytes.resize(written);
  deflateEnd(&z);
  band.ok = ok;
}

// Colour to palette index: open addressing over 1024 slots for at most 256 colours.
class ColourTable {
 public:
  // The index of c, adding it when new; -1 when the table already holds 256 colours.
  int Insert(std::uint32_t c) {
    size_t slot = Slot(c);
    while (m_used[slot]) {
      if (m_keys[slot] == c) return m_index[slot];
      slot = (slot + 1) & (kSlots - 1);
    }
    if (m_count == 256) return -1;
    m_used[slot] = true;
    m_keys[slot] = c;
    m_index[slot] = static_cast<unsigned char>(m_count);
    m_colours[static_cast<size_t>(m_count)] = c;
    return m_count++;
  }
  // The index of a colour the table holds.
  int Find(std::uint32_t c) const {
    size_t slot = Slot(c);
    while (m_keys[slot] != c || !m_used[slot]) slot = (slot + 1) & (kSlots - 1);
    return m_index[slot];
  }
  int Count() const { return m_count; }
  // The colours in the order they were added.
  std::uint32_t Colour(int index) const { return m_colours[static_cast<size_t>(index)]; }

 private:
  static constexpr size_t kSlots = 1024;
  static size_t Slot(std::uint32_t c) { return (c * 0x9E3779B1u) >> 22; }
  std::array<std::uint32_t, kSlots> m_keys{};
  std::array<unsigned char, kSlots> m_index{};
  std::array<bool, kSlots> m_used{};
  std::array<std::uint32_t, 256> m_colours{};
  int m_count = 0;
};

}  // namespace

std::int64_t PngPicture::RowBytes() const {
  const int samples = IsPalette() ? 1 : 3;
  return (static_cast<std::int64_t>(width) * samples * bitDepth + 7) / 8;
}

bool EncodePng(const PngPicture& picture, int level, std::vector<unsigned char>& out) {
  out.clear();
  const bool palette = picture.IsPalette();
  const int entries = static_cast<int>(picture.palette.size() / 3);
  const int depth = picture.bitDepth;
  const bool depthOk = palette ? (depth == 1 || depth == 2 || depth == 4 || depth == 8) &&
                                     entries <= (1 << depth) && entries <= 256 &&
                                     picture.palette.size() % 3 == 0
                               : depth == 8;
  if (picture.width <= 0 || picture.height <= 0 || picture.width > kLargestSide || !picture.row ||
      !depthOk) {
    return false;
  }
  // Bands large enough that their flush blocks cost nothing measurable.
  const RowBands bands(0, picture.height, picture.RowBytes() * picture.height);
  std::vector<DeflatedBand> parts(static_cast<size_t>(bands.Count()));
  bands.Run([&](int band, int first, int last) {
    DeflateBand(picture, level, first, last, band + 1 == bands.Count(), parts[band]);
  });
  uLong adler = adler32(0L, Z_NULL, 0);
  size_t dataBytes = 2 + 4;
  for (const DeflatedBand& part : parts) {
    if (!part.ok) return false;
    adler = adler32_combine64(adler, part.adler, part.length);
    dataBytes += part.bytes.size();
  }
  // The zlib stream: header (deflate, 32 KiB window, fastest), the bands, the Adler-32.
  std::vector<unsigned char> data;
  data.reserve(dataBytes);
  data.push_back(0x78);
  data.push_back(0x01);
  for (const DeflatedBand& part : parts)
    data.insert(data.end(), part.bytes.begin(), part.bytes.end());
  PutBig32(data, static_cast<std::uint32_t>(adler));

  out.reserve(dataBytes + dataBytes / kIdatBytes * 12 + picture.palette.size() + 128);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), kSignature, kSignature + 8);
  std::vector<unsigned char> header;
  PutBig32(header, static_cast<std::uint32_t>(picture.width));
  PutBig32(header, static_cast<std::uint32_t>(picture.height));
  header.push_back(static_cast<unsigned char>(depth));
  header.push_back(palette ? 3 : 2);  // colour type: palette or RGB
  header.push_back(0);                // deflate
  header.push_back(0);                // adaptive filtering (every row: none)
  header.push_back(0);                // not interlaced
  PutChunk(out, "IHDR", header.data(), header.size());
  if (palette) PutChunk(out, "PLTE", picture.palette.data(), picture.palette.size());
  for (size_t done = 0; done < data.size(); done += kIdatBytes)
    PutChunk(out, "IDAT", data.data() + done, std::min(kIdatBytes, data.size() - done));
  PutChunk(out, "IEND", nullptr, 0);
  return true;
}

bool PalettePicture(const std::uint32_t* pixels, int width, int height, PngPicture& picture) {
  if (!pixels || width <= 0 || height <= 0) return false;
  auto table = std::make_shared<ColourTable>();
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::uint32_t last = ~0u;
  for (size_t i = 0; i < count; ++i) {
    const std::uint32_t c = pixels[i] & 0x00FFFFFFu;
    if (c == last) continue;
    last = c;
    if (table->Insert(c) < 0) return false;
  }
  const int n = table->Count();
  const int depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  picture.width = width;
  picture.height = height;
  picture.bitDepth = depth;
  picture.palette.clear();
  for (int i = 0; i < n; ++i) {
    const std::uint32_t c = table->Colour(i);
    picture.palette.push_back(static_cast<unsigned char>(c >> 16));
    picture.palette.push_back(static_cast<unsigned char>(c >> 8));
    picture.palette.push_back(static_cast<unsigned char>(c));
  }
  picture.row = [table, pixels, width, depth](int y, unsigned char* out) {
    const std::uint32_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    const int perByte = 8 / depth;
    std::memset(out, 0, static_cast<size_t>((static_cast<std::int64_t>(width) * depth + 7) / 8));
    std::uint32_t last = ~0u;
    int index = 0;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = src[x] & 0x00FFFFFFu;
      if (c != last) {
        last = c;
        index = table->Find(c);
      }
      if (depth == 8) {
        out[x] = static_cast<unsigned char>(index);
      } else {
        const int shift = 8 - depth * (x % perByte + 1);
        out[x / perByte] |= static_cast<unsigned char>(index << shift);
      }
    }
  };
  return true;
}

void RgbPicture(const std::uint32_t* pixels, int width, int height, PngPicture& picture) {
  picture.width = width;
  picture.height = height;
  picture.bitDepth = 8;
  picture.palette.clear();
  picture.row = [pixels, width](int y, unsigned char* out) {
    const std::uint32_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      out[3 * x + 0] = static_cast<unsigned char>(src[x] >> 16);
      out[3 * x + 1] = static_cast<unsigned char>(src[x] >> 8);
      out[3 * x + 2] = static_cast<unsigned char>(src[x]);
    }
  };
}

}  // namespace vorlane::detail
