// Row kernels of the weighted luminance of high-colour pixels: grey levels and bi-level
// values of whole rows, vectorised where the processor allows.
#pragma once

#include <vector>

namespace vorlane::detail {

// Writes to grey[x], for each of count pixels of bgrx (4 bytes each: blue, green, red,
// unused), the weighted luminance 0.11 x blue + 0.59 x green + 0.3 x red in single precision
// (blue term first, every product and sum rounded to single precision) truncated toward zero:
// exactly GreyFromColour(blue, green, red, 0). count >= 0; the rows may not overlap.
void LuminanceRowToGrey(const unsigned char* bgrx, int count, unsigned char* grey);

// Writes to bits[x] 1 when the same luminance exceeds 128.0, else 0: exactly
// BiLevelFromColour(blue, green, red).
void LuminanceRowToBiLevel(const unsigned char* bgrx, int count, unsigned char* bits);

// One implementation of the two row functions above, by name ("avx512", "avx2", "sse2",
// "plain"), for tests that hold every one to the scalar rule.
struct LuminanceKernel {
  const char* name;
  void (*grey)(const unsigned char* bgrx, int count, unsigned char* grey);
  void (*biLevel)(const unsigned char* bgrx, int count, unsigned char* bits);
};

// The implementations this processor runs, widest first; the first is the one in use.
std::vector<LuminanceKernel> LuminanceKernelsOnThisProcessor();

}  // namespace vorlane::detail
