// PNG encoding of view pictures: chunks, deflate and the palette search.
#include "kernels/png/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/map_bytes.h"

namespace vorlane::detail {
namespace {

// PNG's largest width and height (2^31 - 1); the views are far smaller.
constexpr std::int64_t kLargestSide = 0x7FFFFFFF;
// Largest IDAT chunk written: readers handle any size, but smaller chunks keep their CRC
// passes within the cache.
constexpr size_t kIdatBytes = size_t{1} << 20;

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

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
  PutBig32(out, libdeflate_crc32(0, out.data() + start, out.size() - start));
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
  // The filtered rows (a filter byte, none, before each) are made in bands on the cores,
  // then deflated at once: libdeflate compresses whole buffers about twice as fast as
  // zlib's fastest level, to the same size.
  // The rows are a page block, whose pages the next picture reuses; the deflated data, a
  // fraction of its bound, is left untouched beyond what is written.
  const size_t rowBytes = static_cast<size_t>(picture.RowBytes()) + 1;
  const size_t rawBytes = rowBytes * static_cast<size_t>(picture.height);
  MapBytes raw = AllocateMapBytes(rawBytes, false);
  ForEachRowBand(0, picture.height, static_cast<std::int64_t>(rawBytes), [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      unsigned char* row = raw.get() + rowBytes * static_cast<size_t>(y);
      row[0] = 0;
      picture.row(y, row + 1);
    }
  });
  std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
      libdeflate_alloc_compressor(level));
  if (!compressor) return false;
  const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), rawBytes);
  const auto data = std::make_unique_for_overwrite<unsigned char[]>(bound);
  const size_t dataBytes =
      libdeflate_zlib_compress(compressor.get(), raw.get(), rawBytes, data.get(), bound);
  if (dataBytes == 0) return false;
  raw.reset();

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
  for (size_t done = 0; done < dataBytes; done += kIdatBytes)
    PutChunk(out, "IDAT", data.get() + done, std::min(kIdatBytes, dataBytes - done));
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
  std::vector<unsigned char> palette;
  for (int i = 0; i < table->Count(); ++i) AppendPaletteColour(palette, table->Colour(i));
  IndexedPicture(
      width, height, std::move(palette),
      [table, pixels, width](int y, unsigned char* indices) {
        const std::uint32_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        std::uint32_t last = ~0u;
        unsigned char index = 0;
        for (int x = 0; x < width; ++x) {
          const std::uint32_t c = src[x] & 0x00FFFFFFu;
          if (c != last) {
            last = c;
            index = static_cast<unsigned char>(table->Find(c));
          }
          indices[x] = index;
        }
      },
      picture);
  return true;
}

void IndexedPicture(int width, int height, std::vector<unsigned char> palette,
                    std::function<void(int y, unsigned char* indices)> indexRow,
                    PngPicture& picture) {
  const size_t n = palette.size() / 3;
  const int depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  picture.width = width;
  picture.height = height;
  picture.bitDepth = depth;
  picture.palette = std::move(palette);
  if (depth == 8) {
    picture.row = std::move(indexRow);
    return;
  }
  picture.row = [indexRow = std::move(indexRow), width, depth](int y, unsigned char* out) {
    std::vector<unsigned char> indices(static_cast<size_t>(width));
    indexRow(y, indices.data());
    const int perByte = 8 / depth;
    std::memset(out, 0, static_cast<size_t>((static_cast<std::int64_t>(width) * depth + 7) / 8));
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - depth * (x % perByte + 1);
      out[x / perByte] |= static_cast<unsigned char>(indices[static_cast<size_t>(x)] << shift);
    }
  };
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
