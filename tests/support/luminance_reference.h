// Reference of the weighted luminance of a colour in single precision: 0.11 x blue +
// 0.59 x green + 0.3 x red, blue term first, every product and sum rounded to float.
#pragma once

namespace reference {

inline float Luminance(unsigned char blue, unsigned char green, unsigned char red) {
  const float blueGreen = 0.11f * static_cast<float>(blue) + 0.59f * static_cast<float>(green);
  return blueGreen + 0.3f * static_cast<float>(red);
}

}  // namespace reference
