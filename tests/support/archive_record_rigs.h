// White-box rigs for the archive record tests: images whose buffers, palette and component
// list the test fills directly, components with chosen caches, and memory-archive round trips.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "support/archive_test_classes.h"
#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace recrig {

// An image of a library format with its storage open to the test. Its runtime class is the
// format's, so it is stored under the format's class name and loads as the format.
template <class Format>
struct Rig : Format {
  unsigned char* Buffer() { return this->m_pData; }
  unsigned char* Row(int y) { return this->m_ppLines[y]; }
  DWORD* Palette() requires std::is_same_v<Format, CLoColorImage> { return this->m_pPalette; }
  void DropMaps() { this->DeleteMapList(); }
  // Appends comp (now owned by the image) to the component list.
  void AddComponent(CComp* comp) {
    auto** list = new CComp*[this->m_nComponents + 1];
    for (int i = 0; i < this->m_nComponents; ++i) list[i] = this->m_ppComponents[i];
    list[this->m_nComponents] = comp;
    delete[] this->m_ppComponents;
    this->m_ppComponents = list;
    ++this->m_nComponents;
  }
};

// A component whose caches and border lists the test sets; stored as CComp.
struct CompRig : CComp {
  void SetCaches(int size, float centerX, float centerY, DWORD colour, CRect bound, int external,
                 int internal) {
    m_nSize = size, m_fCenterX = centerX, m_fCenterY = centerY, m_crColor = colour;
    m_rcBound = bound, m_nExternalConnections = external, m_nInternalConnections = internal;
  }
  void SetBorders(const std::vector<POINT>& external, const std::vector<POINT>& internal) {
    ResizeExternalBorder(static_cast<int>(external.size()));
    for (size_t i = 0; i < external.size(); ++i) m_pExternalBorder[i] = external[i];
    ResizeInternalBorder(static_cast<int>(internal.size()));
    for (size_t i = 0; i < internal.size(); ++i) m_pInternalBorder[i] = internal[i];
  }
  void SetTypeWord(unsigned short type) { m_wType = type; }
};

// What `ar << object` writes into a memory archive.
inline std::vector<BYTE> Store(const CObject* object) {
  return artest::StoreBytes([object](CArchive& ar) { ar << object; });
}

// Extracts one T* from bytes; raises what the archive raises. The caller owns the result.
template <class T>
std::unique_ptr<T> Load(const std::vector<BYTE>& bytes) {
  artest::Loader loader(bytes);
  T* object = nullptr;
  loader.ar() >> object;
  return std::unique_ptr<T>(object);
}

template <class Format>
constexpr sample::Fmt kFormatOf = std::is_same_v<Format, CBiLevelImage>     ? sample::Fmt::kBi
                                  : std::is_same_v<Format, CGreyScaleImage> ? sample::Fmt::kGrey
                                  : std::is_same_v<Format, CLoColorImage>   ? sample::Fmt::kLo
                                                                            : sample::Fmt::kHi;

// A patterned image of the format with every kind of map, components with and without caches
// and border lists, nested vexed areas, a name beyond the BMP and a display state of its own.
template <class Format>
std::unique_ptr<Rig<Format>> RichImage(int width, int height) {
  auto source = sample::Make(kFormatOf<Format>, width, height, L"Seite \u00e9\U0001F600");
  auto image = std::make_unique<Rig<Format>>();
  image->CreateDuplicate(source.get(), 0);
  image->SetDPI(300, 200, 7);
  image->AddType(0x300);
  tagImageUpdate update{0x6D, 1.75f, 0x00102030};
  image->SetImageUpdate(&update);

  CImageMap* standard = image->GetImageMap(0);
  CImageMap* dorvale = image->AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
  CImageMap* custom = image->AddImageMap(L"R\u00e4nder \U0001F600", MAP_BIT_LABELS);
  CImageMap* plain = image->AddImageMap(L"plain", MAP_NO_TYPES);
  custom->SetPixelType(0, L"Kante \U0001F600", 1, 2, 3, 1);
  custom->SetPixelType(7, L"abcdefghijklmnopq", 4, 5, 6, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      standard->MapByteAddAttribute(x, y, static_cast<unsigned char>(1 << ((x + 2 * y) % 8)));
      dorvale->SetMapByte(x, y, static_cast<unsigned char>((3 * x + y) % 14));
      custom->SetMapByte(x, y, static_cast<unsigned char>(x * 37 + y * 11));
      plain->SetMapByte(x, y, static_cast<unsigned char>(255 - x - y));
    }
  }
  image->SetCurrentMap(2);

  auto* measured = new CompRig;
  measured->AddRun(0, 0, width - 1, FALSE);
  measured->AddPoint(width - 1, height - 1);
  measured->GetSize(), measured->GetCenterX(), measured->GetBoundingRect();
  measured->GetExternalBorder(), measured->GetInternalBorder();
  measured->SetTypeWord(0x000B);
  image->AddComponent(measured);
  auto* bare = new CComp;
  bare->AddPoint(width / 2, height / 2);
  image->AddComponent(bare);
  auto* nested = new CComp;
  nested->AddPoint(0, height - 1);
  nested->GetVexed()->AddPoint(width - 1, 0);
  nested->GetVexed()->GetVexed()->AddPoint(0, 0);
  image->AddComponent(nested);
  return image;
}

}  // namespace recrig
