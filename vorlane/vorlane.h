// Umbrella header: the platform layer, the image classes, the analysis toolkit, the
// colour-space functions and the host hooks.
#pragma once

#include "platform/platform.h"
#if __has_include("imageclasses/image.h")
#include "imageclasses/image.h"
#endif
#if __has_include("imageclasses/bilevelimage.h")
#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/locolorimage.h"
#endif
#if __has_include("imageclasses/imagemap.h")
#include "imageclasses/imagemap.h"
#endif
#if __has_include("imageclasses/comp.h")
#include "imageclasses/comp.h"
#endif
#if __has_include("imageclasses/distribution.h")
#include "imageclasses/distribution.h"
#endif
#if __has_include("imageclasses/clustering3d.h")
#include "imageclasses/clustering3d.h"
#endif
#if __has_include("imageclasses/clusteringcylindrical.h")
#include "imageclasses/clusteringcylindrical.h"
#endif
#if __has_include("imageclasses/houghtransform2d.h")
#include "imageclasses/houghtransform2d.h"
#endif
#if __has_include("colourfunctions/colourfunctions.h")
#include "colourfunctions/colourfunctions.h"
#endif
