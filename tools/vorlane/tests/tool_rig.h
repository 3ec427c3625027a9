// Rig of the tool tests: running the built tool and reading what it wrote, over the
// scratch folders and sample pages of the pipeline tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorlane/pipeline/paths.h>
#include <vorlane/vorlane.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/support/pipeline_rig.h"
#include "tests/support/png_files.h"

namespace tooltest {

namespace fs = std::filesystem;

using pipetest::ScratchDir;
using pipetest::SmallPage;

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

inline void WriteTiff(CImage& page, const fs::path& path) {
  page.ExportTIFF(vorlane::pipeline::WidePath(path).c_str());
}

// Width and height of a PNG file that decodes completely; 0 x 0 otherwise.
inline std::pair<int, int> DecodedPngSize(const fs::path& path) {
  DecodedPng png;
  if (!ReadPng(path, png)) return {0, 0};
  return {png.width, png.height};
}

}  // namespace tooltest
