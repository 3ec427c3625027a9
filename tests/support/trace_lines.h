// Test helpers: capture of trace lines and reading of text files.
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
  void Clear() { m_lines.clear(); }
  // Whether a line starting with prefix was written.
  bool HasPrefix(const std::string& prefix) const {
    for (const auto& l : m_lines) {
      if (l.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
  bool Has(const std::string& line) const {
    for (const auto& l : m_lines) {
      if (l == line) return true;
    }
    return false;
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
