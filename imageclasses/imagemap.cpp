// CImageMap: creation, map bytes, the pixel-type table, labels, predefined maps, backups.
#include "imageclasses/imagemap.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "imageclasses/image.h"
#include "kernels/pixels/buffer_size.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/map_bytes.h"
#include "platform/archive.h"

IMPLEMENT_SERIAL(CImageMap, CObject, VERSIONABLE_SCHEMA | 1)

namespace {

constexpr int kMaxNameLength = 14;
const wchar_t kFreeName[] = L"*Free*";
const wchar_t kAllocatedName[] = L"*Allocated*";

struct PredefinedType {
  const wchar_t* name;
  BYTE red, green, blue;
  int visible;
};

const PredefinedType kDorvaleTypes[] = {
    {L"Foreground", 0, 0, 0, 0},       {L"Paper", 192, 64, 64, 1},
    {L"Corner", 255, 255, 0, 1},       {L"Punchhole", 128, 255, 128, 1},
    {L"Stain", 255, 128, 0, 1},        {L"Outer Edge", 0, 128, 0, 1},
    {L"Grown Paper", 192, 128, 64, 1}, {L"Line Segment", 0, 0, 128, 1},
    {L"Text", 0, 192, 0, 1},           {L"Photo", 0, 0, 255, 1},
    {L"Signature", 128, 0, 128, 1},    {L"Stamp", 128, 0, 0, 1},
    {L"Annotation", 192, 0, 0, 1},     {L"Graphics", 0, 0, 255, 1},
};

int TableSize(unsigned char labelMode) {
  return labelMode == MAP_BIT_LABELS ? 8 : labelMode == MAP_BYTE_LABELS ? 256 : 0;
}

// Copies name, cut to 14 characters, into an entry's name field; null gives "".
void StoreName(wchar_t (&dst)[15], const wchar_t* name) {
  size_t n = 0;
  if (name) {
    while (n < kMaxNameLength && name[n] != L'\0') ++n;
    std::wmemcpy(dst, name, n);
  }
  std::wmemset(dst + n, L'\0', 15 - n);
}

void SetEntry(tagPixelType& e, const wchar_t* name, BYTE r, BYTE g, BYTE b, int visible) {
  StoreName(e.szName, name);
  e.byRed = r;
  e.byGreen = g;
  e.byBlue = b;
  e.bVisible = visible;
}

}  // namespace

CImageMap::CImageMap()
    : m_pData(nullptr),
      m_ppLines(nullptr),
      m_nWidth(0),
      m_nHeight(0),
      m_pImage(nullptr),
      m_pBackup(nullptr),
      m_pPixelTypes(nullptr),
      m_nLabelMode(MAP_NO_TYPES) {}

CImageMap::~CImageMap() { FreeMem(); }

void CImageMap::FreeMem() {
  DiscardBackup();
  vorlane::detail::ReleaseMapBytes(m_pData);
  delete[] m_ppLines;
  m_ppLines = nullptr;
  delete[] m_pPixelTypes;
  m_pPixelTypes = nullptr;
}

void CImageMap::SetupLineArray(unsigned char** lines, unsigned char* data, int height, int width) {
  if (height <= 0) return;
  lines[0] = data;
  for (int y = 1; y < height; ++y) lines[y] = lines[y - 1] + width;
}

bool CImageMap::AllocateBytes(int width, int height, bool zeroed) {
  if (width < 0 || height < 0 || !vorlane::detail::BufferSizeAllowed(width, height)) {
    return false;
  }
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height);
  auto data = vorlane::detail::AllocateMapBytes(bytes, zeroed);
  auto* lines = new unsigned char*[height > 0 ? height : 1];
  vorlane::detail::ReleaseMapBytes(m_pData);
  delete[] m_ppLines;
  m_pData = data.release();
  m_ppLines = lines;
  m_nWidth = width;
  m_nHeight = height;
  SetupLineArray(m_ppLines, m_pData, height, width);
  return true;
}

void CImageMap::AllocateTable(unsigned char labelMode) {
  delete[] m_pPixelTypes;
  m_pPixelTypes = nullptr;
  const int n = TableSize(labelMode);
  if (n > 0) {
    m_pPixelTypes = new tagPixelType[n];
    for (int i = 0; i < n; ++i) SetEntry(m_pPixelTypes[i], nullptr, 0, 0, 0, 0);
  }
}

BOOL CImageMap::Create(int width, int height, const wchar_t* name, unsigned char labelMode) {
  if (!AllocateBytes(width, height, true)) return FALSE;
  m_strName = name;
  m_nLabelMode = labelMode;
  AllocateTable(labelMode);
  return TRUE;
}

BOOL CImageMap::Create(CImage* image, const wchar_t* name, unsigned char labelMode) {
  m_pImage = image;
  return Create(image ? image->GetWidth() : 0, image ? image->GetHeight() : 0, name, labelMode);
}

BOOL CImageMap::Create(int width, int height, unsigned char predefinedId) {
  if (!AllocateBytes(width, height, true)) return FALSE;
  SetToPreDefinedMap(predefinedId);
  return TRUE;
}

BOOL CImageMap::Create(CImage* image, unsigned char predefinedId) {
  m_pImage = image;
  return Create(image ? image->GetWidth() : 0, image ? image->GetHeight() : 0, predefinedId);
}

BOOL CImageMap::CreateDuplicate(CImageMap* source, CImage* image) {
  if (!source || source == this) return FALSE;
  if (!source->m_pData) {
    if (!AllocateBytes(source->m_nWidth, source->m_nHeight, true)) return FALSE;
  } else {
    const int width = source->m_nWidth, height = source->m_nHeight;
    auto data = vorlane::detail::CopyMapBytes(
        source->m_pData, static_cast<size_t>(width) * static_cast<size_t>(height));
    auto* lines = new unsigned char*[height > 0 ? height : 1];
    SetupLineArray(lines, data.get(), height, width);
    ReplaceBytes(data.release(), lines, width, height);
  }
  m_pImage = image ? image : source->m_pImage;
  m_nLabelMode = source->m_nLabelMode;
  m_strName = source->m_strName;
  delete[] m_pPixelTypes;
  m_pPixelTypes = nullptr;
  const int n = source->m_pPixelTypes ? TableSize(m_nLabelMode) : 0;
  if (n > 0) {
    m_pPixelTypes = new tagPixelType[n];
    std::copy(source->m_pPixelTypes, source->m_pPixelTypes + n, m_pPixelTypes);
  }
  return TRUE;
}

void CImageMap::ClearMap(unsigned char value) {
  if (m_pData) {
    std::memset(m_pData, value, static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight));
  }
}

// ---- Map bytes ----

unsigned char CImageMap::GetMapByte(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return 0;
  return m_ppLines[y][x];
}

void CImageMap::SetMapByte(int x, int y, unsigned char value) {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return;
  m_ppLines[y][x] = value;
}

void CImageMap::MapByteAddAttribute(int x, int y, unsigned char bits) {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return;
  m_ppLines[y][x] |= bits;
}

void CImageMap::MapByteRemoveAttribute(int x, int y, unsigned char bits) {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return;
  m_ppLines[y][x] &= static_cast<unsigned char>(~bits);
}

BOOL CImageMap::ByteIsOfType(unsigned char byte, unsigned char label) const {
  switch (m_nLabelMode) {
    case MAP_BYTE_LABELS:
      return byte == label;
    case MAP_BIT_LABELS:
      return (byte & label) != 0;
    default:
      return FALSE;
  }
}

BOOL CImageMap::IsPixelType(int x, int y, unsigned char label) const {
  return ByteIsOfType(m_ppLines[y][x], label);
}

BOOL CImageMap::IsPixelType(int x, int y, const wchar_t* name) const {
  return IsPixelType(x, y, GetPTByteLabel(name));
}

BOOL CImageMap::GetMapColour(unsigned char byte, unsigned char* red, unsigned char* green,
                             unsigned char* blue) const {
  const tagPixelType* e = nullptr;
  if (m_nLabelMode == MAP_BIT_LABELS && m_pPixelTypes) {
    // The lowest set bit whose type is visible gives the colour.
    for (int i = 0; i < 8 && !e; ++i) {
      if ((byte & (1 << i)) && m_pPixelTypes[i].bVisible) e = &m_pPixelTypes[i];
    }
  } else if (m_nLabelMode == MAP_BYTE_LABELS && m_pPixelTypes) {
    if (m_pPixelTypes[byte].bVisible) e = &m_pPixelTypes[byte];
  }
  if (!e) return FALSE;
  if (red) *red = e->byRed;
  if (green) *green = e->byGreen;
  if (blue) *blue = e->byBlue;
  return TRUE;
}

BOOL CImageMap::GetMapColour(int x, int y, unsigned char* red, unsigned char* green,
                             unsigned char* blue) const {
  return GetMapColour(m_ppLines[y][x], red, green, blue);
}

// ---- Pixel-type table ----

int CImageMap::GetPTCount() const { return m_pPixelTypes ? TableSize(m_nLabelMode) : 0; }

CImageMap::tagPixelType* CImageMap::Entry(int index) const {
  if (index < 0 || index >= GetPTCount()) return nullptr;
  return &m_pPixelTypes[index];
}

BOOL CImageMap::SetPixelType(int index, const wchar_t* name, unsigned char red, unsigned char green,
                             unsigned char blue, int visible) {
  tagPixelType* e = Entry(index);
  if (!e) return FALSE;
  SetEntry(*e, name, red, green, blue, visible);
  return TRUE;
}

int CImageMap::GetPTIndex(const wchar_t* name) const {
  if (!name) return -1;
  const int n = GetPTCount();
  for (int i = 0; i < n; ++i) {
    if (std::wcscmp(m_pPixelTypes[i].szName, name) == 0) return i;
  }
  return -1;
}

unsigned char CImageMap::GetPTByteLabel(const wchar_t* name) const {
  const int i = GetPTIndex(name);
  if (i < 0) return 0;
  if (m_nLabelMode == MAP_BIT_LABELS) return static_cast<unsigned char>(1u << i);
  if (m_nLabelMode == MAP_BYTE_LABELS) return static_cast<unsigned char>(i);
  return 0;
}

const wchar_t* CImageMap::GetPTName(int index) const {
  const tagPixelType* e = Entry(index);
  return e ? e->szName : nullptr;
}

CImageMap::tagPixelType* CImageMap::EntryForByte(unsigned char byte) const {
  if (!m_pPixelTypes) return nullptr;
  if (m_nLabelMode == MAP_BYTE_LABELS) return &m_pPixelTypes[byte];
  if (m_nLabelMode == MAP_BIT_LABELS) {
    for (int i = 0; i < 8; ++i) {
      if (byte & (1 << i)) return &m_pPixelTypes[i];
    }
  }
  return nullptr;
}

const wchar_t* CImageMap::GetPTName(unsigned char byte) const {
  const tagPixelType* e = EntryForByte(byte);
  return e ? e->szName : nullptr;
}

void CImageMap::SetPTName(int index, const wchar_t* name) {
  if (tagPixelType* e = Entry(index)) StoreName(e->szName, name);
}

void CImageMap::SetPTName(unsigned char byte, const wchar_t* name) {
  if (tagPixelType* e = EntryForByte(byte)) StoreName(e->szName, name);
}

unsigned char CImageMap::GetPTRed(int index) const {
  const tagPixelType* e = Entry(index);
  return e ? e->byRed : 0;
}
unsigned char CImageMap::GetPTGreen(int index) const {
  const tagPixelType* e = Entry(index);
  return e ? e->byGreen : 0;
}
unsigned char CImageMap::GetPTBlue(int index) const {
  const tagPixelType* e = Entry(index);
  return e ? e->byBlue : 0;
}
int CImageMap::GetPTVisible(int index) const {
  const tagPixelType* e = Entry(index);
  return e ? e->bVisible : 0;
}
unsigned char CImageMap::GetPTRed(const wchar_t* name) const { return GetPTRed(GetPTIndex(name)); }
unsigned char CImageMap::GetPTGreen(const wchar_t* name) const {
  return GetPTGreen(GetPTIndex(name));
}
unsigned char CImageMap::GetPTBlue(const wchar_t* name) const {
  return GetPTBlue(GetPTIndex(name));
}
int CImageMap::GetPTVisible(const wchar_t* name) const { return GetPTVisible(GetPTIndex(name)); }

void CImageMap::SetPTRed(int index, unsigned char value) {
  if (tagPixelType* e = Entry(index)) e->byRed = value;
}
void CImageMap::SetPTGreen(int index, unsigned char value) {
  if (tagPixelType* e = Entry(index)) e->byGreen = value;
}
void CImageMap::SetPTBlue(int index, unsigned char value) {
  if (tagPixelType* e = Entry(index)) e->byBlue = value;
}
void CImageMap::SetPTVisible(int index, int visible) {
  if (tagPixelType* e = Entry(index)) e->bVisible = visible;
}
void CImageMap::SetPTColour(int index, unsigned char red, unsigned char green, unsigned char blue) {
  if (tagPixelType* e = Entry(index)) {
    e->byRed = red;
    e->byGreen = green;
    e->byBlue = blue;
  }
}
void CImageMap::SetPTRed(const wchar_t* name, unsigned char value) {
  SetPTRed(GetPTIndex(name), value);
}
void CImageMap::SetPTGreen(const wchar_t* name, unsigned char value) {
  SetPTGreen(GetPTIndex(name), value);
}
void CImageMap::SetPTBlue(const wchar_t* name, unsigned char value) {
  SetPTBlue(GetPTIndex(name), value);
}
void CImageMap::SetPTVisible(const wchar_t* name, int visible) {
  SetPTVisible(GetPTIndex(name), visible);
}
void CImageMap::SetPTColour(const wchar_t* name, unsigned char red, unsigned char green,
                            unsigned char blue) {
  SetPTColour(GetPTIndex(name), red, green, blue);
}

// ---- Labels ----

int CImageMap::GetNextFreeLabel() const { return GetPTIndex(kFreeName); }

BOOL CImageMap::AllocateLabels(int count, int* indices, const wchar_t* name) {
  if (count < 1 || !indices) return FALSE;
  const int n = GetPTCount();
  int found = 0;
  for (int i = 0; i < n && found < count; ++i) {
    if (std::wcscmp(m_pPixelTypes[i].szName, kFreeName) == 0) indices[found++] = i;
  }
  if (found < count) return FALSE;
  for (int k = 0; k < count; ++k)
    StoreName(m_pPixelTypes[indices[k]].szName, name ? name : kAllocatedName);
  return TRUE;
}

// ---- Predefined maps ----

void CImageMap::SetToPreDefinedMap(unsigned char id) {
  if (id == MAP_STANDARD) {
    m_strName = L"Standard";
    m_nLabelMode = MAP_BIT_LABELS;
    AllocateTable(MAP_BIT_LABELS);
    SetEntry(m_pPixelTypes[0], L"Background", 0, 0, 192, 1);
    for (int i = 1; i < 8; ++i) SetEntry(m_pPixelTypes[i], kFreeName, 0, 0, 0, 0);
  } else if (id == MAP_DORVALE) {
    m_strName = L"Dorvale";
    m_nLabelMode = MAP_BYTE_LABELS;
    AllocateTable(MAP_BYTE_LABELS);
    const int known = static_cast<int>(std::size(kDorvaleTypes));
    for (int i = 0; i < known; ++i) {
      const PredefinedType& t = kDorvaleTypes[i];
      SetEntry(m_pPixelTypes[i], t.name, t.red, t.green, t.blue, t.visible);
    }
    for (int i = known; i < 256; ++i) SetEntry(m_pPixelTypes[i], kFreeName, 0, 0, 0, 0);
  }
}

BOOL CImageMap::IsPreDefinedMap(unsigned char id) const {
  if (id == MAP_STANDARD) return m_strName == L"Standard";
  if (id == MAP_DORVALE) return m_strName == L"Dorvale";
  return FALSE;
}

// ---- Backups ----

CImageMap* CImageMap::CreateBackup() {
  DiscardBackup();
  auto* backup = new CImageMap;
  if (!backup->CreateDuplicate(this, m_pImage)) {
    delete backup;
    return nullptr;
  }
  m_pBackup = backup;
  return m_pBackup;
}

CImageMap* CImageMap::RestoreBackup() {
  // A backup of another size cannot be swapped in without breaking the line tables.
  if (!m_pBackup || m_pBackup->m_nWidth != m_nWidth || m_pBackup->m_nHeight != m_nHeight) {
    return nullptr;
  }
  std::swap(m_pData, m_pBackup->m_pData);
  std::swap(m_ppLines, m_pBackup->m_ppLines);
  return m_pBackup;
}

void CImageMap::DiscardBackup() {
  delete m_pBackup;
  m_pBackup = nullptr;
}
