// Archive records of CImage with the pixel blocks of the four formats, and of CImageMap.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/comp.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/locolorimage.h"
#include "kernels/io/archive_bounds.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/map_bytes.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"
#include "platform/diagnostics.h"
#include "platform/utf8.h"

namespace vorlane::detail {

// Sets the image reference of components loaded with an image.
struct ComponentRecordAccess {
  // Makes comp refer to the image whose list holds it, keeping its cached measurements.
  static void AttachToImage(CComp& comp, CImage* image) { comp.m_pImage = image; }
};

}  // namespace vorlane::detail

namespace {

using vorlane::detail::RejectRecord;

constexpr int kPaletteEntries = 256;
constexpr uint64_t kPaletteBytes = kPaletteEntries * 4;
// Pixel-type records: a 15-unit name, three colour bytes, three bytes of padding and the
// visible flag.
constexpr size_t kPixelTypeRecordBytes = 40;
constexpr size_t kPixelTypeNameUnits = 15;
constexpr size_t kPixelTypeMaxUnits = kPixelTypeNameUnits - 1;

// ---- UTF-16 text at the archive boundary ----

// Writes units as little-endian 16-bit values.
void WriteUtf16(CArchive& ar, const std::u16string& units) {
  std::vector<unsigned char> bytes(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
  }
  vorlane::detail::WriteBlock(ar, bytes.data(), bytes.size());
}

// ---- Pixel blocks ----

// Pixel arrays owned until they are handed to an image.
class OwnedArrays {
 public:
  explicit OwnedArrays(vorlane::detail::PixelArrays arrays) : m_arrays(arrays) {}
  ~OwnedArrays() { vorlane::detail::FreePixelArrays(m_arrays.data, m_arrays.lines); }
  OwnedArrays(OwnedArrays&& other) noexcept : m_arrays(std::exchange(other.m_arrays, {})) {}
  OwnedArrays& operator=(OwnedArrays&&) = delete;

  unsigned char* Data() const { return m_arrays.data; }
  vorlane::detail::PixelArrays Release() { return std::exchange(m_arrays, {}); }

 private:
  vorlane::detail::PixelArrays m_arrays;
};

// Bytes of height rows of bytesPerLine bytes (both non-negative).
size_t BufferBytes(int bytesPerLine, int height) {
  return static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
}

// A loaded record must carry the bits per pixel of the format that reads it.
void RequireBits(int stored, int format) {
  if (stored != format) RejectRecord(CArchiveException::genericException);
}

// Writes bytes zero bytes: the block of an image that holds no buffer.
void WriteZeros(CArchive& ar, size_t bytes) {
  static const unsigned char kZeros[4096] = {};
  while (bytes > 0) {
    const size_t n = bytes < sizeof kZeros ? bytes : sizeof kZeros;
    vorlane::detail::WriteBlock(ar, kZeros, n);
    bytes -= n;
  }
}

// Writes bytes from buffer, or zeros when there is no buffer.
void WriteBufferOrZeros(CArchive& ar, const unsigned char* buffer, size_t bytes) {
  if (buffer) {
    vorlane::detail::WriteBlock(ar, buffer, bytes);
  } else {
    WriteZeros(ar, bytes);
  }
}

// Reads a pixel buffer of bytesPerLine x height bytes (the caller checked that the archive
// holds it); the line table is left for the format to build.
OwnedArrays ReadBuffer(CArchive& ar, int bytesPerLine, int height) {
  OwnedArrays arrays(vorlane::detail::AllocatePixelArrays(bytesPerLine, height));
  vorlane::detail::ReadBlock(ar, arrays.Data(), BufferBytes(bytesPerLine, height));
  return arrays;
}

// The buffer of an image whose record was stored while it shared another image's arrays and
// so carries no pixels: zero bytes (black). The image's maps, whose bytes the record holds at
// the image's size, bound the size claimed; without a map only an empty buffer is made.
OwnedArrays BlankBuffer(int bytesPerLine, int height, int width, int maps) {
  if (maps < 1 && static_cast<int64_t>(width) * height > 0) {
    RejectRecord(CArchiveException::genericException);
  }
  vorlane::detail::Trace(
      "CImage::Serialize(): image stored while sharing its pixel arrays, loaded with black "
      "pixels\n");
  OwnedArrays arrays(vorlane::detail::AllocatePixelArrays(bytesPerLine, height));
  std::memset(arrays.Data(), 0, BufferBytes(bytesPerLine, height));
  return arrays;
}

// Writes a palette of 256 colour references; without a palette the grey ramp that the
// palette accessors assume.
void WritePalette(CArchive& ar, const DWORD* palette) {
  if (palette) {
    vorlane::detail::WriteLE32Array(ar, palette, kPaletteEntries);
    return;
  }
  DWORD ramp[kPaletteEntries];
  for (DWORD i = 0; i < kPaletteEntries; ++i) ramp[i] = i * 0x010101u;
  vorlane::detail::WriteLE32Array(ar, ramp, kPaletteEntries);
}

// ---- Map record ----

int PixelTypeCount(unsigned char labelMode) {
  return labelMode == MAP_BIT_LABELS ? 8 : labelMode == MAP_BYTE_LABELS ? 256 : 0;
}

// Encodes one pixel-type record into out (40 bytes): the name as at most 14 UTF-16 units
// (never splitting a surrogate pair) and a terminating zero, the colour, zero padding and the
// visible flag.
void EncodePixelType(const tagPixelType& entry, unsigned char* out) {
  std::memset(out, 0, kPixelTypeRecordBytes);
  const std::u16string units = vorlane::Utf16Units(entry.szName, std::wcslen(entry.szName));
  size_t n = units.size() < kPixelTypeMaxUnits ? units.size() : kPixelTypeMaxUnits;
  if (n < units.size() && n > 0 && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) --n;
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
  }
  out[30] = entry.byRed;
  out[31] = entry.byGreen;
  out[32] = entry.byBlue;
  const auto visible = static_cast<uint32_t>(entry.bVisible);
  for (int i = 0; i < 4; ++i) out[36 + i] = static_cast<unsigned char>(visible >> (8 * i));
}

// Decodes one 40-byte pixel-type record; the name ends at its first zero unit or after 14
// units, whatever the record holds after them.
void DecodePixelType(const unsigned char* in, tagPixelType& entry) {
  size_t n = 0;
  while (n < kPixelTypeMaxUnits && (in[2 * n] | in[2 * n + 1]) != 0) ++n;
  const std::wstring name = vorlane::WideFromUtf16Le(in, n);
  std::wmemset(entry.szName, L'\0', kPixelTypeNameUnits);
  std::wmemcpy(entry.szName, name.data(), name.size());
  entry.byRed = in[30];
  entry.byGreen = in[31];
  entry.byBlue = in[32];
  uint32_t visible = 0;
  for (int i = 0; i < 4; ++i) visible |= static_cast<uint32_t>(in[36 + i]) << (8 * i);
  entry.bVisible = static_cast<int>(visible);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CImage

void CImage::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    ar << static_cast<LONG>(m_bArraysByReference) << static_cast<WORD>(m_wReserved)
       << static_cast<LONG>(m_nBitsPerPixel) << static_cast<LONG>(m_nBytesPerLine)
       << static_cast<LONG>(m_nHeight) << static_cast<LONG>(m_nWidth)
       << static_cast<LONG>(m_lNumberOfPixels) << static_cast<LONG>(m_nDPIAux)
       << static_cast<LONG>(m_nDPIX) << static_cast<LONG>(m_nDPIY) << static_cast<DWORD>(m_dwType);
    // The display block as its 12 bytes: flags, two bytes of padding (zero), float, colour.
    ar << static_cast<WORD>(m_ImageUpdate.wFlags) << static_cast<WORD>(0)
       << m_ImageUpdate.fMagnification << static_cast<DWORD>(m_ImageUpdate.crColour);
    if (!m_pszName) {
      ar << static_cast<DWORD>(0);
    } else {
      const std::u16string units = vorlane::Utf16Units(m_pszName, std::wcslen(m_pszName));
      ar << static_cast<DWORD>(units.size());
      WriteUtf16(ar, units);
    }
    ar << static_cast<LONG>(m_nComponents);
    for (int i = 0; i < m_nComponents; ++i) ar.WriteObject(m_ppComponents[i]);
    ar << static_cast<LONG>(m_nImageMaps) << static_cast<LONG>(m_nCurrentMap);
    for (int i = 0; i < m_nImageMaps; ++i) ar.WriteObject(m_ppImageMaps[i]);
    return;
  }

  if (!vorlane::detail::BeginVersionedRecord(ar)) return;
  FreeMem();
  m_bBackup = 0;
  m_bArraysByReference = 0;
  const int ownBits = m_nBitsPerPixel;
  // Until the record is read in full the image is empty and has no size.
  m_nWidth = m_nHeight = m_nBytesPerLine = 0;
  m_lNumberOfPixels = 0;
  try {
    LONG shared = 0, bits = 0, bytesPerLine = 0, height = 0, width = 0, pixels = 0, dpiAux = 0,
         dpiX = 0, dpiY = 0;
    WORD reserved = 0, flags = 0, padding = 0;
    DWORD type = 0, colour = 0;
    float magnification = 0;
    ar >> shared >> reserved >> bits >> bytesPerLine >> height >> width >> pixels >> dpiAux >>
        dpiX >> dpiY >> type;
    ar >> flags >> padding >> magnification >> colour;

    // The size must be one that Create accepts, the row length the one the format computes
    // for it, and the pixel count at most the number of pixels.
    if (width < 0 || height < 0 || bits < 0 || bits > 32 || !std::isfinite(magnification)) {
      RejectRecord(CArchiveException::genericException);
    }
    const int64_t widestRow = vorlane::detail::PaddedRowBytes(width, bits > 8 ? bits : 8);
    if (widestRow < 0 || !vorlane::detail::BufferSizeAllowed(widestRow, height)) {
      RejectRecord(CArchiveException::genericException);
    }
    // Pixel buffers and maps of zero-width images still have a line-table entry per row.
    vorlane::detail::RequireEmptyRowsBacked(ar, width, height);
    m_nBitsPerPixel = bits;
    if (bytesPerLine < 0 || bytesPerLine != GetBytesPerLine(width) || pixels < 0 ||
        pixels > static_cast<int64_t>(width) * height) {
      RejectRecord(CArchiveException::genericException);
    }

    // Name: a UTF-16 unit count, then the units.
    std::unique_ptr<wchar_t[]> name;
    const int32_t nameUnits = vorlane::detail::ReadCount(ar, ar.RemainingForLoad() / 2);
    if (nameUnits > 0) {
      std::vector<unsigned char> bytes(static_cast<size_t>(nameUnits) * 2);
      vorlane::detail::ReadBlock(ar, bytes.data(), bytes.size());
      const std::wstring text =
          vorlane::WideFromUtf16Le(bytes.data(), static_cast<size_t>(nameUnits));
      name = std::make_unique<wchar_t[]>(text.size() + 1);
      std::wmemcpy(name.get(), text.c_str(), text.size() + 1);
    }

    // Components: each a new object (a reference would give one component two owners).
    // They may lie partly outside the image: cropping and rotating keep them as they are.
    const int32_t components = vorlane::detail::ReadCount(
        ar, ar.RemainingForLoad() / vorlane::detail::kMinComponentObjectBytes);
    std::vector<std::unique_ptr<CComp>> compList;
    compList.reserve(static_cast<size_t>(components));
    for (int32_t i = 0; i < components; ++i) {
      std::unique_ptr<CComp> comp(static_cast<CComp*>(ar.ReadNewObject(RUNTIME_CLASS(CComp))));
      if (!comp) RejectRecord(CArchiveException::badIndex);
      // The image reference is not archived: the components of the list refer to this image.
      vorlane::detail::ComponentRecordAccess::AttachToImage(*comp, this);
      compList.push_back(std::move(comp));
    }

    // Maps: new objects of the image's size; the current index names one of them or none.
    const int32_t maps =
        vorlane::detail::ReadCount(ar, ar.RemainingForLoad() / vorlane::detail::kMinMapObjectBytes);
    const int32_t current = vorlane::detail::ReadInt32(ar);
    if (current < -1 || current >= maps) RejectRecord(CArchiveException::genericException);
    std::vector<std::unique_ptr<CImageMap>> mapList;
    mapList.reserve(static_cast<size_t>(maps));
    for (int32_t i = 0; i < maps; ++i) {
      std::unique_ptr<CImageMap> map(
          static_cast<CImageMap*>(ar.ReadNewObject(RUNTIME_CLASS(CImageMap))));
      if (!map) RejectRecord(CArchiveException::badIndex);
      if (map->m_nWidth != width || map->m_nHeight != height) {
        RejectRecord(CArchiveException::genericException);
      }
      // The maps of the list belong to this image, whatever owner the record names.
      map->m_pImage = this;
      mapList.push_back(std::move(map));
    }

    // Everything is read: hand it to the image.
    std::unique_ptr<CComp*[]> compArray;
    if (components > 0) compArray = std::make_unique<CComp*[]>(static_cast<size_t>(components));
    std::unique_ptr<CImageMap*[]> mapArray;
    if (maps > 0) mapArray = std::make_unique<CImageMap*[]>(static_cast<size_t>(maps));
    for (int32_t i = 0; i < components; ++i) compArray[i] = compList[i].release();
    for (int32_t i = 0; i < maps; ++i) mapArray[i] = mapList[i].release();
    m_ppComponents = compArray.release();
    m_nComponents = components;
    m_ppImageMaps = mapArray.release();
    m_nImageMaps = maps;
    m_nCurrentMap = current;
    m_pszName = name.release();
    m_bArraysByReference = shared != 0 ? 1 : 0;
    m_wReserved = reserved;
    m_nBytesPerLine = bytesPerLine;
    m_nHeight = height;
    m_nWidth = width;
    m_lNumberOfPixels = pixels;
    m_nDPIAux = dpiAux;
    m_nDPIX = dpiX;
    m_nDPIY = dpiY;
    m_dwType = type;
    m_ImageUpdate.wFlags = flags;
    m_ImageUpdate.fMagnification = magnification;
    m_ImageUpdate.crColour = colour;
  } catch (...) {
    FreeMem();
    m_nBitsPerPixel = ownBits;
    m_nWidth = m_nHeight = m_nBytesPerLine = 0;
    m_lNumberOfPixels = 0;
    throw;
  }
}

// ---------------------------------------------------------------------------------------------
// Formats: each stores or loads its pixel block after the image record. A record read without
// its schema stops after the version message, and so does the format's part. The image
// record leaves the stored arrays-by-reference flag in m_bArraysByReference: a record stored
// while sharing carries no block and loads with a black buffer of the image's own. A failed
// block leaves the image empty, without size.

void CBiLevelImage::Serialize(CArchive& ar) {
  const bool record = vorlane::detail::RecordSchemaPending(ar);
  CImage::Serialize(ar);
  if (!record) return;
  if (ar.IsStoring()) {
    if (m_bArraysByReference) return;
    const size_t packed = BufferBytes(GetPackedBytesPerLine(m_nWidth), m_nHeight);
    std::vector<unsigned char> block(packed);
    if (m_ppLines) PackByteArray(block.data());
    vorlane::detail::WriteBlock(ar, block.data(), block.size());
    return;
  }
  try {
    const bool shared = std::exchange(m_bArraysByReference, 0) != 0;
    RequireBits(m_nBitsPerPixel, 1);
    if (shared) {
      const auto arrays = BlankBuffer(m_nBytesPerLine, m_nHeight, m_nWidth, m_nImageMaps).Release();
      m_pData = arrays.data;
      m_ppLines = arrays.lines;
      SetupLineArray(m_ppLines, m_pData, m_nHeight, m_nBytesPerLine);
      return;
    }
    const int packedRow = GetPackedBytesPerLine(m_nWidth);
    vorlane::detail::RequireAvailable(ar, static_cast<uint64_t>(packedRow), m_nHeight);
    std::vector<unsigned char> block(BufferBytes(packedRow, m_nHeight));
    vorlane::detail::ReadBlock(ar, block.data(), block.size());
    UnPackBitArray(block.data());
  } catch (...) {
    FreeMem();
    m_nWidth = m_nHeight = m_nBytesPerLine = 0;
    m_lNumberOfPixels = 0;
    throw;
  }
}

void CImage::SerializePlainPixels(CArchive& ar, int bitsPerPixel, unsigned char*& data,
                                  unsigned char**& lines) {
  if (ar.IsStoring()) {
    if (!m_bArraysByReference) {
      WriteBufferOrZeros(ar, data, BufferBytes(m_nBytesPerLine, m_nHeight));
    }
    return;
  }
  try {
    const bool shared = std::exchange(m_bArraysByReference, 0) != 0;
    RequireBits(m_nBitsPerPixel, bitsPerPixel);
    if (!shared) {
      vorlane::detail::RequireAvailable(ar, static_cast<uint64_t>(m_nBytesPerLine), m_nHeight);
    }
    const auto arrays = (shared ? BlankBuffer(m_nBytesPerLine, m_nHeight, m_nWidth, m_nImageMaps)
                                : ReadBuffer(ar, m_nBytesPerLine, m_nHeight))
                            .Release();
    data = arrays.data;
    lines = arrays.lines;
    SetupLineArray(lines, data, m_nHeight, m_nBytesPerLine);
  } catch (...) {
    FreeMem();
    m_nWidth = m_nHeight = m_nBytesPerLine = 0;
    m_lNumberOfPixels = 0;
    throw;
  }
}

void CGreyScaleImage::Serialize(CArchive& ar) {
  const bool record = vorlane::detail::RecordSchemaPending(ar);
  CImage::Serialize(ar);
  if (record) SerializePlainPixels(ar, 8, m_pData, m_ppLines);
}

void CLoColorImage::Serialize(CArchive& ar) {
  const bool record = vorlane::detail::RecordSchemaPending(ar);
  CImage::Serialize(ar);
  if (!record) return;
  if (ar.IsStoring()) {
    if (!m_bArraysByReference) {
      WritePalette(ar, m_pPalette);
      WriteBufferOrZeros(ar, m_pData, BufferBytes(m_nBytesPerLine, m_nHeight));
    }
    return;
  }
  try {
    const bool shared = std::exchange(m_bArraysByReference, 0) != 0;
    RequireBits(m_nBitsPerPixel, 8);
    auto palette = std::make_unique<DWORD[]>(kPaletteEntries);
    if (shared) {
      for (DWORD i = 0; i < kPaletteEntries; ++i) palette[i] = i * 0x010101u;
    } else {
      vorlane::detail::RequireAvailable(ar, static_cast<uint64_t>(m_nBytesPerLine), m_nHeight,
                                        kPaletteBytes);
      vorlane::detail::ReadLE32Array(ar, palette.get(), kPaletteEntries);
    }
    const auto arrays = (shared ? BlankBuffer(m_nBytesPerLine, m_nHeight, m_nWidth, m_nImageMaps)
                                : ReadBuffer(ar, m_nBytesPerLine, m_nHeight))
                            .Release();
    m_pData = arrays.data;
    m_ppLines = arrays.lines;
    m_pPalette = palette.release();
    SetupLineArray(m_ppLines, m_pData, m_nHeight, m_nBytesPerLine);
  } catch (...) {
    FreeMem();
    m_nWidth = m_nHeight = m_nBytesPerLine = 0;
    m_lNumberOfPixels = 0;
    throw;
  }
}

void CHiColorImage::Serialize(CArchive& ar) {
  const bool record = vorlane::detail::RecordSchemaPending(ar);
  CImage::Serialize(ar);
  if (record) SerializePlainPixels(ar, 32, m_pData, m_ppLines);
}

// ---------------------------------------------------------------------------------------------
// CImageMap

void CImageMap::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    const int entries = PixelTypeCount(m_nLabelMode);
    ar << static_cast<LONG>(m_nWidth) << static_cast<LONG>(m_nHeight);
    ar.WriteObject(m_pImage);
    ar << m_strName << static_cast<BYTE>(m_nLabelMode);
    WriteBufferOrZeros(ar, m_pData, BufferBytes(m_nWidth, m_nHeight));
    std::vector<unsigned char> table(static_cast<size_t>(entries) * kPixelTypeRecordBytes);
    if (m_pPixelTypes) {
      for (int i = 0; i < entries; ++i) {
        EncodePixelType(m_pPixelTypes[i], table.data() + i * kPixelTypeRecordBytes);
      }
    }
    vorlane::detail::WriteBlock(ar, table.data(), table.size());
    return;
  }

  vorlane::detail::CheckOptionalSchema(ar);
  LONG width = 0, height = 0;
  ar >> width >> height;
  if (width < 0 || height < 0 || !vorlane::detail::BufferSizeAllowed(width, height)) {
    RejectRecord(CArchiveException::genericException);
  }
  // The owner is an image read before or being read now, never a new object nobody would own.
  CObject* owner = ar.ReadReference(RUNTIME_CLASS(CImage));
  CString name;
  ar >> name;
  BYTE labelMode = 0;
  ar >> labelMode;
  const int types = PixelTypeCount(labelMode);
  vorlane::detail::RequireEmptyRowsBacked(ar, width, height);
  vorlane::detail::RequireAvailable(ar, static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                                    static_cast<uint64_t>(types) * kPixelTypeRecordBytes);

  const size_t bytes = BufferBytes(width, height);
  auto data = vorlane::detail::AllocateMapBytes(bytes, false);
  auto lines = std::make_unique_for_overwrite<unsigned char*[]>(height > 0 ? height : 1);
  vorlane::detail::ReadBlock(ar, data.get(), bytes);
  std::unique_ptr<tagPixelType[]> table;
  if (types > 0) {
    std::vector<unsigned char> records(static_cast<size_t>(types) * kPixelTypeRecordBytes);
    vorlane::detail::ReadBlock(ar, records.data(), records.size());
    table = std::make_unique<tagPixelType[]>(static_cast<size_t>(types));
    for (int i = 0; i < types; ++i) {
      DecodePixelType(records.data() + i * kPixelTypeRecordBytes, table[i]);
    }
  }

  FreeMem();
  m_pData = data.release();
  m_ppLines = lines.release();
  m_nWidth = width;
  m_nHeight = height;
  SetupLineArray(m_ppLines, m_pData, height, width);
  m_pImage = static_cast<CImage*>(owner);
  m_strName = name;
  m_nLabelMode = labelMode;
  m_pPixelTypes = table.release();
}
