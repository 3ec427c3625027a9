// Host hooks: where trace lines, user messages and keep-alive calls go.
#pragma once

#include <functional>

class CImage;

namespace vorlane {

using TraceSink = std::function<void(const char* line)>;
using MessageBoxSink = std::function<void(const wchar_t* text, const wchar_t* caption)>;
using KeepAliveHandler = std::function<bool(CImage& image, int step, int steps)>;

// Each setter returns the previous handler; an empty handler restores the default.
// Trace lines are discarded by default. Process-wide.
TraceSink SetTraceSink(TraceSink sink);
// User-facing messages go to standard error by default. Process-wide.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);
// Called from long operations once per row; returning true sets the image's cancel
// request. Per thread; none by default.
KeepAliveHandler SetKeepAliveHandler(KeepAliveHandler handler);

}  // namespace vorlane
