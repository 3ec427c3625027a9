// Connected component analysis and bounding boxes of bi-level images.
#include "imageclasses/bilevelimage.h"

int CBiLevelImage::BBAnalysis(RECT**, int*, CRect, int) { return 0; }
int CBiLevelImage::CCAnalysis(int) { return 0; }
