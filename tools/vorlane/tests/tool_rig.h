// Rig of the tool tests: scratch folders, running the built tool, generated pages and what
// the library of this build can do.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorlane/vorlane.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "demo_page.h"
#include "page_io.h"
#include "tests/support/png_files.h"

namespace tooltest {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    m_path = fs::temp_directory_path() /
             ("vorlane-tool-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return m_path; }
  fs::path operator/(const std::string& name) const { return m_path / name; }

 private:
  fs::path m_path;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline nlohmann::json ReadJson(const fs::path& path) {
  return nlohmann::json::parse(ReadFile(path));
}

// Every field of want (a JSON pointer such as "/parameters/half_window" each) as in json.
inline void ExpectFields(const nlohmann::json& json, const nlohmann::json& want) {
  for (const auto& [pointer, value] : want.items())
    EXPECT_EQ(json.at(nlohmann::json::json_pointer(pointer)), value) << pointer;
}

struct ToolRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs the built tool with args (a shell word list) in dir.
inline ToolRun RunTool(const ScratchDir& dir, const std::string& args,
                       const std::string& prefix = "") {
  const std::string command = "cd '" + dir.path().string() + "' && " + prefix + "'" +
                              VORLANE_TOOL_PATH + "' " + args + " >stdout.txt 2>stderr.txt";
  const int status = std::system(command.c_str());
  ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
              ReadFile(dir / "stdout.txt"), ReadFile(dir / "stderr.txt")};
  for (const char* name : {"stdout.txt", "stderr.txt"}) fs::remove(dir / name);
  return run;
}

// A small sample page (the demo page at a fraction of A4) in colour or grey.
inline std::unique_ptr<CImage> SmallPage(bool colour, int width = 310, int height = 438) {
  std::unique_ptr<CHiColorImage> page = vorlane::cli::MakeDemoPage(width, height);
  if (colour) return page;
  auto grey = std::make_unique<CGreyScaleImage>();
  grey->CreateFromImage(page.get(), 0);
  return grey;
}

inline void WriteTiff(CImage& page, const fs::path& path) {
  page.ExportTIFF(vorlane::cli::WidePath(path).c_str());
}

// Width and height of a PNG file that decodes completely; 0 x 0 otherwise.
inline std::pair<int, int> DecodedPngSize(const fs::path& path) {
  DecodedPng png;
  if (!ReadPng(path, png)) return {0, 0};
  return {png.width, png.height};
}

}  // namespace tooltest
