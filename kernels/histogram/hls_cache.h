// The byte-scale HLS values of the last colour converted: pages repeat colours run after run,
// so most pixels skip the conversion.
#pragma once

#include "colourfunctions/colourfunctions.h"

namespace vorlane::detail {

// Pure black and pure white have no hue.
inline bool IsBlackOrWhite(int r, int g, int b) {
  return (r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255);
}

// Remembers the TT_RGB2HLS outputs (scale code 36) of the last colour asked for.
class HlsCache {
 public:
  struct Floats {
    float h = 0.0f, l = 0.0f, s = 0.0f;
  };
  struct Bytes {
    int h = 0, l = 0, s = 0;
  };

  // The unrounded outputs for channel bytes r, g, b.
  const Floats& Exact(int r, int g, int b) {
    const int key = r | (g << 8) | (b << 16);
    if (key != m_key) {
      TT_RGB2HLS(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), &m_f.h,
                 &m_f.l, &m_f.s, kHlsByteScale);
      m_b = Bytes{static_cast<int>(m_f.h), static_cast<int>(m_f.l), static_cast<int>(m_f.s)};
      m_key = key;
    }
    return m_f;
  }
  // The outputs truncated toward zero (each 0..255).
  const Bytes& Truncated(int r, int g, int b) {
    Exact(r, g, b);
    return m_b;
  }

 private:
  static constexpr unsigned char kHlsByteScale = vorlane::kHlsByteScale;
  int m_key = -1;
  Floats m_f;
  Bytes m_b;
};

}  // namespace vorlane::detail
