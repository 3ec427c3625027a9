// Library-internal entry points of the host hooks: trace lines, message boxes, keep-alive.
// Not installed: hosts reach the hooks through platform/hooks.h.
#pragma once

class CImage;

namespace vorlane::detail {

// Hands one complete trace line (with its line break) to the trace sink.
void Trace(const char* line);
// printf-style trace line.
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shows a user-facing message through the message-box sink.
void MessageBox(const wchar_t* text, const wchar_t* caption);
// Runs the calling thread's keep-alive handler; true when it asks to cancel.
bool KeepAlive(CImage& image, int step, int steps);
// True when the calling thread has a keep-alive handler: row-by-row progress is observed
// and a pass must stay on this thread, in row order.
bool KeepAliveListening();

}  // namespace vorlane::detail
