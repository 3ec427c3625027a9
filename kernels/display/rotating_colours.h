// The colours that show components one by one: black first, then red rises by 30; past 255
// it restarts at 100 and green rises by 50, and so on to blue.
#pragma once

#include "kernels/display/paint_runs.h"

namespace vorlane::detail {

// Type-word bit of a component that is not shown.
inline constexpr unsigned short kHiddenComponentBit = 0x10;

class RotatingColours {
 public:
  PixelBgr Current() const {
    return PixelBgr{static_cast<unsigned char>(m_blue), static_cast<unsigned char>(m_green),
                    static_cast<unsigned char>(m_red)};
  }
  void Advance() {
    m_red += 30;
    if (m_red > 255) {
      m_red = 100;
      m_green += 50;
    }
    if (m_green > 255) {
      m_green = 100;
      m_blue += 50;
    }
    if (m_blue > 255) m_blue = 100;
  }

 private:
  int m_red = 0;
  int m_green = 0;
  int m_blue = 0;
};

}  // namespace vorlane::detail
