// CImage: construction, creation and release, accessors, the map list, the array helpers
// and the defaults of the virtual image operations.
#include "imageclasses/image.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "imageclasses/comp.h"
#include "imageclasses/imagemap.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/pixel_arrays.h"
#include "platform/archive.h"
#include "platform/diagnostics.h"

IMPLEMENT_SERIAL(CImage, CObject, VERSIONABLE_SCHEMA | 1)

CImage::CImage()
    : m_bArraysByReference(0),
      m_nBitsPerPixel(0),
      m_nBytesPerLine(0),
      m_nDPIX(0),
      m_nDPIY(0),
      m_nDPIAux(0),
      m_wReserved(0),
      m_pszName(nullptr),
      m_bBackup(0),
      m_nWidth(0),
      m_nHeight(0),
      m_lNumberOfPixels(0),
      m_dwType(IMAGE_TYPE_IMAGE),
      m_bDirty(0),
      m_ImageUpdate{0x45, 1.0f, 0x00FFFFFF},
      m_pBitmapInfo(nullptr),
      m_nImageMaps(0),
      m_nCurrentMap(-1),
      m_ppImageMaps(nullptr),
      m_crDrawFore(0),
      m_crDrawBack(0x00FFFFFF),
      m_rcDrawLimits(0, 0, 0, 0),
      m_ppComponents(nullptr),
      m_nComponents(0),
      m_bCancel(0) {}

CImage::~CImage() { CImage::FreeMem(); }

// ---- Creation and release ----

int CImage::Create(int width, int height, unsigned long /*colour*/, const wchar_t* name) {
  // Refuse sizes whose buffers cannot exist instead of corrupting memory later. The row
  // length is checked at the widest per-pixel storage the formats use (and at least a
  // byte per pixel, as the bi-level format stores).
  const int bits = m_nBitsPerPixel > 8 ? m_nBitsPerPixel : 8;
  const int64_t rowBytes = vorlane::detail::PaddedRowBytes(width, bits);
  if (width < 0 || height < 0 || rowBytes < 0 ||
      !vorlane::detail::BufferSizeAllowed(rowBytes, height)) {
    return 0;
  }
  m_nWidth = width;
  m_nHeight = height;
  m_lNumberOfPixels = width * height;
  m_nDPIX = m_nDPIY = m_nDPIAux = 1;
  m_wReserved = 0;
  m_nBytesPerLine = GetBytesPerLine(width);
  m_bBackup = 0;
  SetName(name);
  FillBitmapInfo();
  DeleteMapList();
  auto map = std::make_unique<CImageMap>();
  map->Create(this, static_cast<unsigned char>(MAP_STANDARD));
  m_ppImageMaps = new CImageMap*[1];
  m_ppImageMaps[0] = map.release();
  m_nImageMaps = 1;
  m_nCurrentMap = 0;
  m_bDirty = 1;
  return 1;
}

void CImage::FreeMem() {
  if (m_nComponents > 0 || m_ppComponents) FreeComponents();
  SetName(nullptr);
  DeleteMapList();
  delete[] reinterpret_cast<unsigned char*>(m_pBitmapInfo);
  m_pBitmapInfo = nullptr;
  m_bDirty = 1;
}

void CImage::FreeMemory() {
  m_Bitmap.DeleteObject();
  if (m_ppImageMaps && m_nImageMaps > 1) {
    const int keep = (m_nCurrentMap >= 0 && m_nCurrentMap < m_nImageMaps) ? m_nCurrentMap : 0;
    auto* list = new CImageMap*[1];
    list[0] = m_ppImageMaps[keep];
    for (int i = 0; i < m_nImageMaps; ++i) {
      if (i != keep) delete m_ppImageMaps[i];
    }
    delete[] m_ppImageMaps;
    m_ppImageMaps = list;
    m_nImageMaps = 1;
  }
  if (m_ppImageMaps && m_nImageMaps > 0) {
    m_ppImageMaps[0]->SetToPreDefinedMap(static_cast<unsigned char>(MAP_STANDARD));
    m_nCurrentMap = 0;
  }
  delete[] reinterpret_cast<unsigned char*>(m_pBitmapInfo);
  m_pBitmapInfo = nullptr;
  m_bDirty = 1;
}

void CImage::AllocatePixels(unsigned char*& data, unsigned char**& lines) {
  const auto arrays = vorlane::detail::AllocatePixelArrays(m_nBytesPerLine, m_nHeight);
  data = arrays.data;
  lines = arrays.lines;
  SetupLineArray(lines, data, m_nHeight, m_nBytesPerLine);
}

void CImage::ReleasePixels(unsigned char*& data, unsigned char**& lines, unsigned char*& backupData,
                           unsigned char**& backupLines) {
  if (!m_bArraysByReference) {
    vorlane::detail::FreePixelArrays(data, lines);
  } else {
    // Shared arrays stay with their owner; forget them so that nothing can use or free them.
    data = nullptr;
    lines = nullptr;
    m_bArraysByReference = 0;
  }
  if (m_bBackup) {
    vorlane::detail::FreePixelArrays(backupData, backupLines);
    m_bBackup = 0;
  }
}

void CImage::DeleteMapList() {
  for (int i = 0; i < m_nImageMaps; ++i) delete m_ppImageMaps[i];
  delete[] m_ppImageMaps;
  m_ppImageMaps = nullptr;
  m_nImageMaps = 0;
  m_nCurrentMap = -1;
}

void CImage::DuplicateMapList(const CImage& source) {
  DeleteMapList();
  if (source.m_nImageMaps <= 0) return;
  auto list = std::make_unique<CImageMap*[]>(static_cast<size_t>(source.m_nImageMaps));
  int made = 0;
  try {
    for (; made < source.m_nImageMaps; ++made) {
      auto map = std::make_unique<CImageMap>();
      map->CreateDuplicate(source.m_ppImageMaps[made], this);
      list[made] = map.release();
    }
  } catch (...) {
    for (int i = 0; i < made; ++i) delete list[i];
    throw;
  }
  m_ppImageMaps = list.release();
  m_nImageMaps = source.m_nImageMaps;
  m_nCurrentMap = source.m_nCurrentMap;
}

// ---- Accessors ----

void CImage::SetDPI(int dpi) {
  m_nDPIX = m_nDPIY = dpi;
  m_nDPIAux = 0;
}

void CImage::SetDPI(int dpiX, int dpiY, int aux) {
  m_nDPIX = dpiX;
  m_nDPIY = dpiY;
  m_nDPIAux = aux;
}

void CImage::SetName(const wchar_t* name) {
  if (name == m_pszName && name) return;  // setting the own name keeps it
  wchar_t* copy = nullptr;
  if (name) {
    const size_t n = std::wcslen(name);
    copy = new wchar_t[n + 1];
    std::wmemcpy(copy, name, n + 1);
  }
  delete[] m_pszName;
  m_pszName = copy;
}

unsigned long CImage::AddType(unsigned long t) {
  m_dwType |= static_cast<DWORD>(t);
  return m_dwType;
}

unsigned long CImage::RemoveType(unsigned long t) {
  m_dwType &= ~static_cast<DWORD>(t);
  return m_dwType;
}

void CImage::SetUpdateFlags(unsigned short flags) {
  m_ImageUpdate.wFlags = flags;
  m_bDirty = 1;
}

void CImage::SetMagnification(float magnification) {
  m_ImageUpdate.fMagnification = magnification;
  m_bDirty = 1;
}

void CImage::GetImageUpdate(tagImageUpdate* update) const {
  if (update) *update = m_ImageUpdate;
}

void CImage::SetImageUpdate(tagImageUpdate* update) {
  if (!update) return;
  m_ImageUpdate = *update;
  m_bDirty = 1;
}

void CImage::SetShowComponents(int on) {
  if (on) {
    m_ImageUpdate.wFlags |= IU_SHOW_COMPONENTS;
  } else {
    m_ImageUpdate.wFlags &= static_cast<WORD>(~IU_SHOW_COMPONENTS);
  }
  m_bDirty = 1;
}

void CImage::SetShowBW(int on) {
  if (on) {
    m_ImageUpdate.wFlags |= IU_BLACK_WHITE;
  } else {
    m_ImageUpdate.wFlags &= static_cast<WORD>(~IU_BLACK_WHITE);
  }
  m_bDirty = 1;
}

int CImage::Progress_KeepAlive(int step, int steps) {
  if (vorlane::detail::KeepAlive(*this, step, steps)) m_bCancel = 1;
  return m_bCancel;
}

// ---- Map list ----

int CImage::SetCurrentMap(int index) {
  if (index < 0 || index >= m_nImageMaps) return 0;
  m_nCurrentMap = index;
  m_bDirty = 1;
  return 1;
}

CImageMap* CImage::GetCurrentMap() const { return GetImageMap(m_nCurrentMap); }

CImageMap* CImage::GetImageMap(int index) const {
  if (index < 0 || index >= m_nImageMaps) return nullptr;
  return m_ppImageMaps[index];
}

int CImage::GetImageMapIndex(const wchar_t* name) const {
  if (!name) return -1;
  for (int i = 0; i < m_nImageMaps; ++i) {
    if (m_ppImageMaps[i]->m_strName == name) return i;
  }
  return -1;
}

CImageMap* CImage::GetImageMap(const wchar_t* name) const {
  return GetImageMap(GetImageMapIndex(name));
}

int CImage::GetImageMapIndex(unsigned char id) const {
  for (int i = 0; i < m_nImageMaps; ++i) {
    if (m_ppImageMaps[i]->IsPreDefinedMap(id)) return i;
  }
  return -1;
}

CImageMap* CImage::GetImageMap(unsigned char id) const { return GetImageMap(GetImageMapIndex(id)); }

namespace {

// Appends map to a list of count entries: a new array of count + 1, the old one released.
void AppendMap(CImageMap**& list, int& count, std::unique_ptr<CImageMap> map) {
  auto* grown = new CImageMap*[static_cast<size_t>(count) + 1];
  if (count > 0) std::memcpy(grown, list, sizeof(CImageMap*) * static_cast<size_t>(count));
  grown[count] = map.release();
  delete[] list;
  list = grown;
  ++count;
}

}  // namespace

CImageMap* CImage::AddImageMap(const wchar_t* name, unsigned char labelMode) {
  if (GetImageMap(name ? name : L"")) return nullptr;
  auto map = std::make_unique<CImageMap>();
  if (!map->Create(this, name, labelMode)) return nullptr;
  CImageMap* added = map.get();
  AppendMap(m_ppImageMaps, m_nImageMaps, std::move(map));
  if (m_ImageUpdate.wFlags & IU_MAP_OVERLAY) m_bDirty = 1;
  return added;
}

CImageMap* CImage::AddImageMap(unsigned char id) {
  if (GetImageMap(id)) return nullptr;
  auto map = std::make_unique<CImageMap>();
  if (!map->Create(this, id)) return nullptr;
  CImageMap* added = map.get();
  AppendMap(m_ppImageMaps, m_nImageMaps, std::move(map));
  if (m_ImageUpdate.wFlags & IU_MAP_OVERLAY) m_bDirty = 1;
  return added;
}

CImageMap* CImage::SafeGetImageMap(const wchar_t* name, unsigned char labelMode) {
  if (CImageMap* map = GetImageMap(name ? name : L"")) return map;
  return AddImageMap(name, labelMode);
}

CImageMap* CImage::SafeGetImageMap(unsigned char id) {
  if (CImageMap* map = GetImageMap(id)) return map;
  return AddImageMap(id);
}

int CImage::IsBackground(int x, int y) {
  CImageMap* map = GetCurrentMap();
  if (!map) return FALSE;
  return map->IsPixelType(x, y, L"Background");
}

int CImage::IsForeground(int x, int y) { return !IsBackground(x, y); }

unsigned char CImage::MapGetByte(CImageMap* map, int x, int y) { return map->m_ppLines[y][x]; }

void CImage::MapSetByte(CImageMap* map, int x, int y, unsigned char value) {
  map->m_ppLines[y][x] = value;
}

void CImage::MapByteAddAttribute(CImageMap* map, int x, int y, unsigned char bits) {
  map->m_ppLines[y][x] |= bits;
}

void CImage::MapByteRemoveAttribute(CImageMap* map, int x, int y, unsigned char bits) {
  map->m_ppLines[y][x] &= static_cast<unsigned char>(~bits);
}

unsigned char* CImage::MapGetLine(CImageMap* map, int y) { return map->m_ppLines[y]; }

// ---- Packed and interleaved arrays ----

unsigned char CImage::GetColorFromBitArray(const unsigned char* data, int x, int y,
                                           int bytesPerLine) {
  const unsigned char* row = data + static_cast<ptrdiff_t>(y) * bytesPerLine;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

void CImage::SetColorToBitArray(unsigned char* data, int x, int y, int bytesPerLine,
                                unsigned char value) {
  unsigned char* row = data + static_cast<ptrdiff_t>(y) * bytesPerLine;
  const auto bit = static_cast<unsigned char>(0x80u >> (x % 8));
  if (value) {
    row[x / 8] |= bit;
  } else {
    row[x / 8] &= static_cast<unsigned char>(~bit);
  }
}

unsigned char CImage::GetColorFromByteArray(const unsigned char* data, int x, int y,
                                            int bytesPerLine) {
  return data[static_cast<ptrdiff_t>(y) * bytesPerLine + x];
}

void CImage::SetColorToByteArray(unsigned char* data, int x, int y, int bytesPerLine,
                                 unsigned char value) {
  data[static_cast<ptrdiff_t>(y) * bytesPerLine + x] = value ? 1 : 0;
}

namespace {
inline ptrdiff_t PixelOffset(int x, int y, int bytesPerLine, int bitsPerPixel) {
  return static_cast<ptrdiff_t>(y) * bytesPerLine + static_cast<ptrdiff_t>(x) * bitsPerPixel / 8;
}
}  // namespace

unsigned char CImage::GetRedColorFromArray(const unsigned char* data, int x, int y,
                                           int bytesPerLine, int bitsPerPixel) {
  return data[PixelOffset(x, y, bytesPerLine, bitsPerPixel) + 2];
}

unsigned char CImage::GetGreenColorFromArray(const unsigned char* data, int x, int y,
                                             int bytesPerLine, int bitsPerPixel) {
  return data[PixelOffset(x, y, bytesPerLine, bitsPerPixel) + 1];
}

unsigned char CImage::GetBlueColorFromArray(const unsigned char* data, int x, int y,
                                            int bytesPerLine, int bitsPerPixel) {
  return data[PixelOffset(x, y, bytesPerLine, bitsPerPixel)];
}

void CImage::SetRedColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                unsigned char value, int bitsPerPixel) {
  data[PixelOffset(x, y, bytesPerLine, bitsPerPixel) + 2] = value;
}

void CImage::SetGreenColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                  unsigned char value, int bitsPerPixel) {
  data[PixelOffset(x, y, bytesPerLine, bitsPerPixel) + 1] = value;
}

void CImage::SetBlueColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                 unsigned char value, int bitsPerPixel) {
  data[PixelOffset(x, y, bytesPerLine, bitsPerPixel)] = value;
}

// ---- Row layout ----

int CImage::GetBytesPerLine(int width) {
  return static_cast<int>(vorlane::detail::PaddedRowBytes(width, m_nBitsPerPixel));
}

void CImage::SetupLineArray(unsigned char** lines, unsigned char* data, int height,
                            int bytesPerLine) {
  if (height <= 0) return;
  lines[height - 1] = data;
  for (int i = height - 2; i >= 0; --i) lines[i] = lines[i + 1] + bytesPerLine;
}
