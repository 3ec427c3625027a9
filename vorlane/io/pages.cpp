// Pages from files of several kinds, each opened by the reader of its kind.
#include "vorlane/io/pages.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

#include "imageclasses/image.h"
#include "kernels/io/picture_size.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "vorlane/io/jpeg_reader.h"
#include "vorlane/io/png_reader.h"
#include "vorlane/io/tiff_pages.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

// Why a file of no known content cannot be used, by the kind its name claims.
std::string UnknownContent(const fs::path& path) {
  switch (PageFileKindByName(path)) {
    case PageFileKind::tiff:
      return "not a TIFF image the library reads (unreadable, damaged or unsupported)";
    case PageFileKind::png:
      return "damaged PNG: not a PNG file";
    case PageFileKind::jpeg:
      return "damaged JPEG: not a JPEG file";
    default:
      break;
  }
  return "unsupported kind of file (pages are read from TIFF, PNG, JPEG and .vlx files)";
}

// The kind of a file that starts with the bytes head.
PageFileKind KindOfHead(const unsigned char* head, size_t size) {
  static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 8 && std::memcmp(head, kPng, 8) == 0) return PageFileKind::png;
  if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PageFileKind::jpeg;
  if (size >= 4 &&
      ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
       (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)))) {
    return PageFileKind::tiff;
  }
  return PageFileKind::unknown;
}

// A file of one picture (PNG or JPEG), held in memory while the source lives.
class PicturePage final : public PageSource {
 public:
  PicturePage(PageFileKind kind, std::vector<unsigned char> bytes, PageInfo info, std::wstring name)
      : m_kind(kind), m_bytes(std::move(bytes)), m_info(std::move(info)), m_name(std::move(name)) {}
  PageFileKind Kind() const override { return m_kind; }
  int Count() const override { return 1; }
  const PageInfo& Info(int index) const override {
    static const PageInfo none;
    return index == 0 ? m_info : none;
  }
  LoadedImage Load(int index) override {
    if (index != 0) return {nullptr, "there is no page " + std::to_string(index + 1)};
    try {
      return m_kind == PageFileKind::png
                 ? DecodePng(m_bytes.data(), m_bytes.size(), m_name.c_str())
                 : DecodeJpeg(m_bytes.data(), m_bytes.size(), m_name.c_str());
    } catch (const std::bad_alloc&) {
      return {nullptr, "too large to load"};
    }
  }

 private:
  PageFileKind m_kind;
  std::vector<unsigned char> m_bytes;
  PageInfo m_info;
  std::wstring m_name;
};

// An archive of one image, read when its page is loaded.
class ArchivePage final : public PageSource {
 public:
  explicit ArchivePage(fs::path path) : m_path(std::move(path)) { m_info.compression = "archive"; }
  PageFileKind Kind() const override { return PageFileKind::archive; }
  int Count() const override { return 1; }
  const PageInfo& Info(int index) const override {
    static const PageInfo none;
    return index == 0 ? m_info : none;
  }
  LoadedImage Load(int index) override {
    LoadedImage page;
    if (index != 0) {
      page.error = "there is no page " + std::to_string(index + 1);
      return page;
    }
    try {
      page.image.reset(ImgLoadFromFile(WideFromUtf8(m_path.native()).c_str(), nullptr, nullptr,
                                       nullptr, nullptr));
      if (!page.image) page.error = "damaged or not a page archive";
    } catch (const CFileException& e) {
      page.error =
          e.m_cause == CFileException::accessDenied ? "permission denied" : "cannot be read";
    } catch (const CArchiveException&) {
      page.error = "damaged or not a page archive";
    } catch (const CMemoryException&) {
      page.error = "too large to load";
    } catch (const std::bad_alloc&) {
      page.error = "too large to load";
    }
    if (page.image && (page.image->GetWidth() <= 0 || page.image->GetHeight() <= 0)) {
      page.image.reset();
      page.error = "the picture is empty";
    }
    return page;
  }

 private:
  fs::path m_path;
  PageInfo m_info;
};

// Reads the whole file; false with error when it cannot be read or exceeds the size limit.
bool ReadWholeFile(const fs::path& path, std::vector<unsigned char>& bytes, std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) {
    error = "cannot be read";
    return false;
  }
  if (size > static_cast<uintmax_t>(detail::kMaxPictureBytes)) {
    error = "the file exceeds the size limit of " + std::to_string(detail::kMaxPictureBytes >> 20) +
            " MiB";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  bytes.resize(static_cast<size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    error = "cannot be read";
    return false;
  }
  return true;
}

}  // namespace

PageFileKind PageFileKindByName(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".tif" || ext == ".tiff") return PageFileKind::tiff;
  if (ext == ".png") return PageFileKind::png;
  if (ext == ".jpg" || ext == ".jpeg") return PageFileKind::jpeg;
  if (ext == ".vlx") return PageFileKind::archive;
  return PageFileKind::unknown;
}

PageFileKind DetectPageFileKind(const fs::path& path) {
  unsigned char head[8] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return PageFileKind::unknown;
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const PageFileKind kind = KindOfHead(head, static_cast<size_t>(in.gcount()));
  if (kind == PageFileKind::unknown && PageFileKindByName(path) == PageFileKind::archive)
    return PageFileKind::archive;
  return kind;
}

OpenedPages OpenPages(const fs::path& path) {
  OpenedPages opened;
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (!fs::exists(status)) {
    opened.error = "no such file";
    return opened;
  }
  if (fs::is_directory(status)) {
    opened.error = "is a folder, not a page";
    return opened;
  }
  if (!std::ifstream(path, std::ios::binary)) {
    opened.error = "cannot be read";
    return opened;
  }
  const PageFileKind kind = DetectPageFileKind(path);
  if (kind == PageFileKind::tiff) return OpenTiffPages(path);
  if (kind == PageFileKind::archive) {
    opened.source = std::make_unique<ArchivePage>(path);
    return opened;
  }
  if (kind == PageFileKind::unknown) {
    opened.error = UnknownContent(path);
    return opened;
  }
  std::vector<unsigned char> bytes;
  if (!ReadWholeFile(path, bytes, opened.error)) return opened;
  PageInfo info;
  const bool read = kind == PageFileKind::png
                        ? ReadPngInfo(bytes.data(), bytes.size(), info, opened.error)
                        : ReadJpegInfo(bytes.data(), bytes.size(), info, opened.error);
  if (!read) return opened;
  opened.source = std::make_unique<PicturePage>(kind, std::move(bytes), std::move(info),
                                                WideFromUtf8(path.native()));
  return opened;
}

int CountPages(const fs::path& path, std::string& error) {
  std::error_code ec;
  const PageFileKind kind =
      fs::is_regular_file(path, ec) ? DetectPageFileKind(path) : PageFileKind::unknown;
  if (kind == PageFileKind::png || kind == PageFileKind::jpeg || kind == PageFileKind::archive)
    return 1;
  OpenedPages opened = OpenPages(path);
  error = std::move(opened.error);
  return opened.source ? opened.source->Count() : 0;
}

LoadedImage LoadPage(const fs::path& path, int pageIndex) {
  OpenedPages opened = OpenPages(path);
  if (!opened.source) return {nullptr, std::move(opened.error)};
  return opened.source->Load(pageIndex);
}

}  // namespace vorlane
