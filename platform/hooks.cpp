// Storage and dispatch of the host hooks.
#include "platform/hooks.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/utf8.h"

namespace vorlane {
namespace {

std::mutex g_sinkMutex;
TraceSink g_traceSink;
MessageBoxSink g_messageBoxSink;
thread_local KeepAliveHandler t_keepAlive;

}  // namespace

TraceSink SetTraceSink(TraceSink sink) {
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  TraceSink old = std::move(g_traceSink);
  g_traceSink = std::move(sink);
  return old;
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  MessageBoxSink old = std::move(g_messageBoxSink);
  g_messageBoxSink = std::move(sink);
  return old;
}

KeepAliveHandler SetKeepAliveHandler(KeepAliveHandler handler) {
  KeepAliveHandler old = std::move(t_keepAlive);
  t_keepAlive = std::move(handler);
  return old;
}

namespace detail {

void Trace(const char* line) {
  TraceSink sink;
  {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    sink = g_traceSink;
  }
  if (sink) sink(line ? line : "");
}

void TraceF(const char* format, ...) {
  std::vector<char> buf(256);
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(buf.data(), buf.size(), format, args);
  va_end(args);
  if (n >= static_cast<int>(buf.size())) {
    buf.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, copy);
  }
  va_end(copy);
  Trace(n < 0 ? "" : buf.data());
}

void MessageBox(const wchar_t* text, const wchar_t* caption) {
  MessageBoxSink sink;
  {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    sink = g_messageBoxSink;
  }
  if (sink) {
    sink(text ? text : L"", caption ? caption : L"");
  } else {
    std::fprintf(stderr, "%s: %s\n", Utf8(caption).c_str(), Utf8(text).c_str());
  }
}

bool KeepAlive(CImage& image, int step, int steps) {
  // Copy first: the handler may replace itself while it runs.
  KeepAliveHandler handler = t_keepAlive;
  return handler ? handler(image, step, steps) : false;
}

bool KeepAliveListening() { return static_cast<bool>(t_keepAlive); }

}  // namespace detail
}  // namespace vorlane
