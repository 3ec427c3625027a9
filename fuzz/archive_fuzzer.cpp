// libFuzzer target: each input is read as an archive holding one image through the image
// extraction operator. Input that is refused must raise CArchiveException (any other
// exception escapes and is reported); an image that loads must be whole: every pixel and map
// byte readable, its components measurable, and what it stores must load back and store
// again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <vector>

#include "vorlane/vorlane.h"

namespace {

// Images up to this many pixels are walked pixel by pixel.
constexpr int64_t kWalkPixels = int64_t{1} << 20;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<BYTE> Store(CImage& image) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    ar << static_cast<const CObject*>(&image);
    ar.Close();
  }
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  file.SeekToBegin();
  Require(file.Read(bytes.data(), static_cast<UINT>(bytes.size())) == bytes.size());
  return bytes;
}

// The image in bytes, or null when the archive is refused.
std::unique_ptr<CImage> Load(std::vector<BYTE>& bytes) {
  CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
  try {
    CArchive ar(&file, CArchive::load);
    CImage* image = nullptr;
    ar >> image;
    return std::unique_ptr<CImage>(image);
  } catch (const CArchiveException&) {
    return nullptr;
  }
}

// Reads everything a host would read first; the sanitizers judge the reads.
void Walk(CImage& image) {
  const int width = image.GetWidth();
  const int height = image.GetHeight();
  Require(width >= 0 && height >= 0);
  const bool walk = int64_t{width} * height <= kWalkPixels;
  uint64_t sum = 0;
  if (walk) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) sum += image.GetRGBColor(x, y);
    }
  }
  if (image.GetName()) sum += std::wcslen(image.GetName());
  Require(image.GetCurrentMapIndex() >= -1 &&
          image.GetCurrentMapIndex() < image.GetImageMapCount());
  for (int i = 0; i < image.GetImageMapCount(); ++i) {
    CImageMap* map = image.GetImageMap(i);
    Require(map && map->GetImage() == &image);
    Require(map->GetWidth() == width && map->GetHeight() == height);
    for (int t = 0; t < map->GetPTCount(); ++t) sum += std::wcslen(map->GetPTName(t));
    if (!walk) continue;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        unsigned char r = 0, g = 0, b = 0;
        sum += map->PrivateGetMapByte(x, y) + map->GetMapColour(x, y, &r, &g, &b) + r;
      }
    }
  }
  for (int i = 0; i < image.GetMaxComponent(); ++i) {
    CComp* comp = image.GetComponent(i);
    Require(comp != nullptr);
    for (int r = 0; r < comp->GetMaxRun(); ++r) {
      const CComp::tagCompRun* run = comp->GetRun(r);
      Require(run->xl <= run->xr);
      sum += static_cast<uint64_t>(comp->PtInComponent(run->xl, run->y));
    }
    sum += static_cast<uint64_t>(comp->GetSize()) + comp->GetBoundingRect().Width() +
           static_cast<uint64_t>(comp->GetWidth()) + static_cast<uint64_t>(comp->GetHeight());
  }
  volatile uint64_t sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<BYTE> bytes(data, data + size);
  std::unique_ptr<CImage> image = Load(bytes);
  if (!image) return 0;
  Walk(*image);

  // What a loaded image stores is a valid archive of the same image.
  std::vector<BYTE> stored = Store(*image);
  std::unique_ptr<CImage> again = Load(stored);
  Require(again != nullptr);
  Require(again->GetRuntimeClass() == image->GetRuntimeClass());
  Require(Store(*again) == stored);
  return 0;
}
