// Forwarding header for code outside the library that still includes this path; the format
// access is imageclasses/internal/format_access.h.
#pragma once

#include "imageclasses/internal/format_access.h"
