// Test helpers: capture of trace lines and reading of text files.
#pragma once

#include <algorithm>
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
  void Clear() { m_lines.clear(); }
  // Whether a line starting with prefix was written.
  bool HasPrefix(const std::string& prefix) const {
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const std::string& l) { return l.starts_with(prefix); });
  }
  bool Has(const std::string& line) const {
    return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
  }

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
