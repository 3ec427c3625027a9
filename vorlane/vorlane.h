// Umbrella header: the platform layer, the image classes, the analysis toolkit, the
// colour-space functions, the host hooks, the PNG writer, the skew estimate and the thread
// setting of the pixel passes.
#pragma once

#include "colourfunctions/colourfunctions.h"
#include "imageclasses/bilevelimage.h"
#include "imageclasses/clustering3d.h"
#include "imageclasses/clusteringcylindrical.h"
#include "imageclasses/comp.h"
#include "imageclasses/distribution.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/houghtransform2d.h"
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/locolorimage.h"
#include "platform/platform.h"
#include "vorlane/png.h"
#include "vorlane/skew.h"
#include "vorlane/threads.h"
