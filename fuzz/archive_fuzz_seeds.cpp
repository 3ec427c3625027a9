// Writes small image archives of every format into a directory, as a seed corpus for the
// archive fuzzer: archive_fuzz_seeds <directory>. The seeds carry maps of every layout,
// components with and without caches, border lists and vexed areas, names and a record of an
// image stored while sharing its arrays.
#include <cstdio>
#include <string>
#include <vector>

#include "support/archive_record_rigs.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The rich image of the format with only its "Standard" map and a custom bit-label map:
// small enough for the fuzzer to mutate every byte often.
template <class Format>
std::vector<BYTE> Compact(int width, int height) {
  auto image = recrig::RichImage<Format>(width, height);
  CGreyScaleImage spare;
  spare.Create(width, height, 0, nullptr);
  spare.AddImageMap(L"custom", MAP_BIT_LABELS);
  image->SwapMapArrays(&spare);
  return recrig::Store(image.get());
}

template <class Format>
std::vector<BYTE> Shared(int width, int height) {
  auto source = recrig::RichImage<Format>(width, height);
  Format view;
  view.CreateDuplicate(source.get(), 1);
  return recrig::Store(&view);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  CImage plain;
  plain.Create(4, 3, 0, L"plain");
  const std::vector<std::pair<std::string, std::vector<BYTE>>> seeds = {
      {"bilevel_rich", recrig::Store(recrig::RichImage<CBiLevelImage>(9, 3).get())},
      {"grey_rich", recrig::Store(recrig::RichImage<CGreyScaleImage>(5, 3).get())},
      {"locolour_rich", recrig::Store(recrig::RichImage<CLoColorImage>(3, 2).get())},
      {"hicolour_rich", recrig::Store(recrig::RichImage<CHiColorImage>(3, 5).get())},
      {"bilevel_compact", Compact<CBiLevelImage>(7, 2)},
      {"grey_compact", Compact<CGreyScaleImage>(3, 2)},
      {"locolour_compact", Compact<CLoColorImage>(2, 2)},
      {"hicolour_compact", Compact<CHiColorImage>(2, 3)},
      {"grey_shared", Shared<CGreyScaleImage>(3, 2)},
      {"hicolour_shared", Shared<CHiColorImage>(2, 2)},
      {"plain_image", recrig::Store(&plain)},
  };
  for (const auto& [name, bytes] : seeds) {
    if (!WriteFile(dir + "/" + name + ".vlx", bytes)) {
      std::fprintf(stderr, "cannot write %s/%s.vlx\n", dir.c_str(), name.c_str());
      return 1;
    }
  }
  return 0;
}
