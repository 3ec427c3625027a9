// Writes a seed corpus of small PNG and JPEG pictures of every depth and kind:
// page_fuzz_seeds <png directory> <jpeg directory>.
#include <cstdio>
#include <string>

#include "support/picture_files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: page_fuzz_seeds PNG_DIR JPEG_DIR\n");
    return 2;
  }
  int n = 0;
  for (int channels : {1, 2, 3, 4})
    for (int bits : {1, 2, 4, 8, 16}) {
      if (channels > 1 && bits < 8) continue;
      picturetest::Picture p{13, 7, channels, bits, {}};
      p.samples.resize((13 * channels * bits + 7) / 8 * 7);
      for (size_t i = 0; i < p.samples.size(); ++i) p.samples[i] = static_cast<uint8_t>(i * 37);
      picturetest::WritePng(std::string(argv[1]) + "/seed" + std::to_string(n++) + ".png", p,
                            bits == 8 ? 11811 : -1);
      if (bits == 8 && (channels == 1 || channels == 3))
        picturetest::WriteJpeg(std::string(argv[2]) + "/seed" + std::to_string(n++) + ".jpg", p,
                               60 + 10 * channels, 1, 300);
    }
  return 0;
}
