// ImgLoadFromFile: loads a TIFF or archive file into a new image of the class its content
// calls for.
#include <tiffio.h>

#include <memory>
#include <string>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/locolorimage.h"
#include "kernels/io/tiff_rows.h"
#include "platform/archive.h"
#include "platform/diagnostics.h"
#include "platform/utf8.h"

namespace {

// True when the extension (text after the last '.', or the whole path) equals the ASCII
// lower-case word, ignoring the case of ASCII letters.
bool ExtensionIs(const wchar_t* path, const wchar_t* word) {
  const wchar_t* dot = nullptr;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'.') dot = p;
  }
  const wchar_t* ext = dot ? dot + 1 : path;
  for (; *ext && *word; ++ext, ++word) {
    const wchar_t c = (*ext >= L'A' && *ext <= L'Z') ? *ext - L'A' + L'a' : *ext;
    if (c != *word) return false;
  }
  return *ext == 0 && *word == 0;
}

// A new object of the runtime class, or null when the class cannot be created or is no image.
std::unique_ptr<CImage> CreateImage(const CRuntimeClass* cls) {
  if (!cls || !cls->IsDerivedFrom(RUNTIME_CLASS(CImage))) return nullptr;
  std::unique_ptr<CObject> object(cls->CreateObject());
  auto* image = dynamic_cast<CImage*>(object.get());
  if (!image) return nullptr;
  object.release();
  return std::unique_ptr<CImage>(image);
}

// Opens a TIFF file, chooses the class by photometric interpretation and bit depth, and
// fills a new object of it. Null (with a trace line) when the file cannot be opened or read.
CImage* LoadTiff(const wchar_t* path, CRuntimeClass* hiColour, CRuntimeClass* loColour,
                 CRuntimeClass* greyScale, CRuntimeClass* biLevel) {
  std::string utf8;
  vorlane::detail::TiffHandle tif;
  if (vorlane::WideToUtf8(path, utf8)) {
    // Read, not memory-mapped ("m"): the file's pages would otherwise stay in the process
    // while it loads, beside the pixels decoded from them.
    tif = vorlane::detail::OpenTiff(utf8.c_str(), "rm");
  }
  if (!tif) {
    vorlane::detail::TraceF("Cannot open %s\n", utf8.c_str());
    return nullptr;
  }
  uint16_t photometric = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) return nullptr;
  CRuntimeClass* cls = nullptr;
  if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
    uint16_t bits = 1;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    cls = bits > 1 ? greyScale : biLevel;
  } else if (photometric == PHOTOMETRIC_PALETTE) {
    cls = loColour;
  } else if (photometric == PHOTOMETRIC_RGB) {
    cls = hiColour;
  }
  std::unique_ptr<CImage> image = CreateImage(cls);
  if (!image) return nullptr;
  // An image whose reading failed has no pixels and no size: it is not handed out.
  if (!image->CreateFromTIFF(tif.get(), path)) {
    vorlane::detail::TraceF("Cannot read %s\n", utf8.c_str());
    return nullptr;
  }
  return image.release();
}

// Reads one image object from an archive file. File and archive exceptions propagate.
CImage* LoadArchive(const wchar_t* path) {
  CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
  CArchive ar(&file, CArchive::load, 4096);
  CImage* loaded = nullptr;
  ar >> loaded;
  std::unique_ptr<CImage> image(loaded);
  if (image) image->SetDirty();
  ar.Close();
  file.Close();
  return image.release();
}

}  // namespace

CImage* ImgLoadFromFile(const wchar_t* path, CRuntimeClass* hiColour, CRuntimeClass* loColour,
                        CRuntimeClass* greyScale, CRuntimeClass* biLevel) {
  if (!path) return nullptr;
  if (!hiColour) hiColour = RUNTIME_CLASS(CHiColorImage);
  if (!loColour) loColour = RUNTIME_CLASS(CLoColorImage);
  if (!greyScale) greyScale = RUNTIME_CLASS(CGreyScaleImage);
  if (!biLevel) biLevel = RUNTIME_CLASS(CBiLevelImage);
  if (ExtensionIs(path, L"tif") || ExtensionIs(path, L"tiff")) {
    return LoadTiff(path, hiColour, loColour, greyScale, biLevel);
  }
  if (ExtensionIs(path, L"vlx")) return LoadArchive(path);
  return nullptr;
}
