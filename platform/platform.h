// The whole platform layer: basic types, value types, object model, archives, bitmaps,
// device contexts, regions and host hooks.
#pragma once

#include "platform/archive.h"
#include "platform/bitmap.h"
#include "platform/cstring.h"
#include "platform/dc.h"
#include "platform/exceptions.h"
#include "platform/geometry.h"
#include "platform/hooks.h"
#include "platform/object.h"
#include "platform/region.h"
#include "platform/types.h"
