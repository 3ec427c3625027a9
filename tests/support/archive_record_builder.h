// Hand assembly of image, map and component records, byte by byte, for the archive record
// tests: expected archives and hostile variants, written without the library's own code.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace recbuild {

// A growing little-endian byte string with the archive's framing tags.
class Bytes {
 public:
  Bytes& U8(unsigned v) { return m_bytes.push_back(static_cast<BYTE>(v)), *this; }
  Bytes& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  Bytes& F32(float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, 4);
    return U32(bits);
  }
  Bytes& Zeros(size_t n) { return m_bytes.insert(m_bytes.end(), n, 0), *this; }
  Bytes& Raw(const std::vector<BYTE>& b) {
    return m_bytes.insert(m_bytes.end(), b.begin(), b.end()), *this;
  }
  Bytes& Ascii(std::string_view s) { return Raw(std::vector<BYTE>(s.begin(), s.end())); }
  Bytes& Utf16(std::u16string_view s) {
    for (char16_t c : s) U16(c);
    return *this;
  }
  // New-class record: FFFF, schema word, name length word, name.
  Bytes& NewClass(std::string_view name, unsigned schema = 1) {
    return U16(0xFFFF).U16(schema).U16(static_cast<unsigned>(name.size())).Ascii(name);
  }
  Bytes& ClassRef(unsigned index) { return U16(0x8000 | index); }
  Bytes& ObjectRef(unsigned index) { return U16(index); }
  // A Unicode string shorter than 255 units: FF, FFFE, length byte, units.
  Bytes& String(std::u16string_view s) {
    return U8(0xFF).U16(0xFFFE).U8(static_cast<unsigned>(s.size())).Utf16(s);
  }
  const std::vector<BYTE>& Data() const { return m_bytes; }
  size_t Size() const { return m_bytes.size(); }

 private:
  std::vector<BYTE> m_bytes;
};

// Fields 1 to 14 of an image record.
struct ImageFields {
  int32_t shared = 0;
  unsigned reserved = 0;
  int32_t bits = 8, bytesPerLine = 4, height = 2, width = 3, pixels = 6;
  int32_t dpiAux = 1, dpiX = 1, dpiY = 1;
  uint32_t type = 0x10;
  unsigned flags = 0x45;
  float magnification = 1.0f;
  uint32_t colour = 0x00FFFFFF;
  std::u16string name = {};
  int64_t nameUnits = -1;  // the unit count written, for hostile records; -1 writes name.size()
};

inline void ImageHead(Bytes& b, const ImageFields& f) {
  b.I32(f.shared).U16(f.reserved).I32(f.bits).I32(f.bytesPerLine).I32(f.height).I32(f.width);
  b.I32(f.pixels).I32(f.dpiAux).I32(f.dpiX).I32(f.dpiY).U32(f.type);
  b.U16(f.flags).U16(0).F32(f.magnification).U32(f.colour);
  b.U32(static_cast<uint32_t>(f.nameUnits >= 0 ? f.nameUnits : std::ssize(f.name))).Utf16(f.name);
}

struct Run {
  int32_t y, xl, xr;
};
using Point = POINT;

// Fields 1 to 15 of a component record; the caller appends the vexed object when flag is 1.
// Counts of -5 mean "not computed".
struct CompFields {
  int32_t size = -5;
  float centerX = -5.5f, centerY = -5.5f;
  uint32_t colour = 0xFF000000u;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  unsigned type = 1;
  std::vector<Run> runs = {};
  int32_t externalCount = -5;
  std::vector<Point> external = {};
  int32_t internalCount = -5;
  std::vector<Point> internal = {};
  int32_t externalConnections = -5, internalConnections = -5, vexedFlag = 0;
  int64_t runCount = -1;  // the run count written, for hostile records; -1 writes runs.size()
};

inline void CompRecord(Bytes& b, const CompFields& f) {
  b.I32(f.size).F32(f.centerX).F32(f.centerY).U32(f.colour);
  b.I32(f.left).I32(f.top).I32(f.right).I32(f.bottom).U16(f.type);
  b.I32(static_cast<int32_t>(f.runCount >= 0 ? f.runCount : static_cast<int64_t>(f.runs.size())));
  b.I32(f.externalCount).I32(f.internalCount).I32(f.externalConnections).I32(f.internalConnections);
  for (const Run& r : f.runs) b.I32(r.y).I32(r.xl).I32(r.xr);
  for (const Point& p : f.external) b.I32(p.x).I32(p.y);
  for (const Point& p : f.internal) b.I32(p.x).I32(p.y);
  b.I32(f.vexedFlag);
}

// One 40-byte pixel-type record.
inline void PixelType(Bytes& b, std::u16string_view name, unsigned r, unsigned g, unsigned bl,
                      int32_t visible) {
  b.Utf16(name).Zeros(2 * (15 - name.size())).U8(r).U8(g).U8(bl).Zeros(3).I32(visible);
}

// The table of the predefined "Standard" map.
inline void StandardTable(Bytes& b) {
  PixelType(b, u"Background", 0, 0, 192, 1);
  for (int i = 1; i < 8; ++i) PixelType(b, u"*Free*", 0, 0, 0, 0);
}

// Map record up to and including its bytes; the caller appends the table.
inline void MapHead(Bytes& b, int32_t width, int32_t height, unsigned ownerTag,
                    std::u16string_view name, unsigned labelMode, const std::vector<BYTE>& bytes) {
  b.I32(width).I32(height).U16(ownerTag).String(name).U8(labelMode).Raw(bytes);
}

}  // namespace recbuild
