// Row kernel of the sRGB to Lab conversion of high-colour pixels, vectorised where the
// processor allows.
#pragma once

namespace vorlane::detail {

// Writes to L[x], a[x] and b[x], for each of count pixels of bgrx (4 bytes each: blue, green,
// red, unused), the Lab colour of the pixel: bit for bit what TT_sRGB2sLab gives for the
// channel bytes as floats. count >= 0.
void LabRow(const unsigned char* bgrx, int count, float* L, float* a, float* b);

}  // namespace vorlane::detail
