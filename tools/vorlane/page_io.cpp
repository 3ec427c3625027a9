// Loading pages for the tool and UTF-8 path conversion.
#include "page_io.h"

#include <vorlane/vorlane.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#include "kernels/text/utf8.h"

namespace vorlane::cli {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

std::wstring WidePath(const std::filesystem::path& path) {
  const std::string& s = path.native();
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const int extra = lead < 0x80           ? 0
                      : (lead >> 5) == 0x6  ? 1
                      : (lead >> 4) == 0xE  ? 2
                      : (lead >> 3) == 0x1E ? 3
                                            : -1;
    char32_t code = extra == 0   ? lead
                    : extra == 1 ? lead & 0x1F
                    : extra == 2 ? lead & 0x0F
                                 : lead & 0x07;
    bool valid = extra >= 0 && i + static_cast<size_t>(extra) < s.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      out.push_back(L'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(code));
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string Utf8(const wchar_t* s) {
  std::string out;
  vorlane::detail::WideToUtf8(s, out);  // values that are no characters become U+FFFD
  return out;
}

bool IsPageFile(const std::filesystem::path& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".tif" || ext == ".tiff" || ext == ".vlx";
}

LoadedPage LoadPage(const std::filesystem::path& path) {
  LoadedPage page;
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    page.error = "no such file";
    return page;
  }
  if (std::filesystem::is_directory(status)) {
    page.error = "is a folder, not a page";
    return page;
  }
  if (!IsPageFile(path)) {
    page.error = "unsupported kind of file (the tool reads .tif, .tiff and .vlx)";
    return page;
  }
  const bool archive = LowerExtension(path) == ".vlx";
  try {
    page.image.reset(ImgLoadFromFile(WidePath(path).c_str(), nullptr, nullptr, nullptr, nullptr));
    if (!page.image)
      page.error = "not a TIFF image the library reads (unreadable, damaged or unsupported)";
    else if (page.image->GetWidth() <= 0 || page.image->GetHeight() <= 0) {
      page.image.reset();
      page.error = "the picture is empty";
    }
  } catch (const CFileException& e) {
    page.error = e.m_cause == CFileException::accessDenied ? "permission denied" : "cannot be read";
  } catch (const CArchiveException&) {
    page.error = archive ? "damaged or not a page archive" : "damaged file";
  } catch (const CMemoryException&) {
    page.error = "too large to load";
  } catch (const std::bad_alloc&) {
    page.error = "too large to load";
  }
  return page;
}

const char* FormatName(const CImage& image) {
  if (image.IsType(IMAGE_TYPE_BILEVEL)) return "bi-level";
  if (image.IsType(IMAGE_TYPE_GREYSCALE)) return "greyscale";
  if (image.IsType(IMAGE_TYPE_LOCOLOR)) return "palette";
  if (image.IsType(IMAGE_TYPE_HICOLOR)) return "colour";
  return "unknown";
}

}  // namespace vorlane::cli
