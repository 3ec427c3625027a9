// Forwarding header for code outside the library that still includes this path; the UTF-8
// conversions are platform/utf8.h.
#pragma once

#include "platform/utf8.h"

namespace vorlane::detail {
using ::vorlane::WideToUtf8;
}  // namespace vorlane::detail
