// Test helpers of the analysis toolkit: capture of trace lines and reading of text files.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/hooks.h"

// Collects the trace lines written while it lives.
class TraceCapture {
 public:
  TraceCapture() {
    m_previous = vorlane::SetTraceSink([this](const char* line) { m_lines.emplace_back(line); });
  }
  ~TraceCapture() { vorlane::SetTraceSink(m_previous); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  const std::vector<std::string>& Lines() const { return m_lines; }

 private:
  vorlane::TraceSink m_previous;
  std::vector<std::string> m_lines;
};

inline std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
