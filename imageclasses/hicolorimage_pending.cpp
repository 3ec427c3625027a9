// CHiColorImage colour comparisons: inactive defaults until the colour-segmentation code
// provides them.
#include "imageclasses/hicolorimage.h"

int CHiColorImage::CheckVisualSimilarity(float, float, float, float, float, float, int) {
  return 0;
}
int CHiColorImage::CheckVisualSimilarity(int, int, int, int, int, int) { return 0; }
double CHiColorImage::CheckLabSimilarity(int, int, int, int, int) { return 0.0; }
double CHiColorImage::CheckLabSimilarity(unsigned long, unsigned long) { return 0.0; }
double CHiColorImage::CheckLabSimilarity(int, int, int, int) { return 0.0; }
double CHiColorImage::CheckLabSimilarity(int, int, int, int, int, int) { return 0.0; }
int CHiColorImage::IsLabSimilar(unsigned long, unsigned long, double) { return 0; }
int CHiColorImage::IsLabSimilar(int, int, int, int, double) { return 0; }
int CHiColorImage::IsLabSimilar(int, int, int, int, int, int, double) { return 0; }

int CHiColorImage::CCAnalysis(int n) {
  ExColorCC(n, 20.0);
  return 1;
}
