// Rig of the pipeline tests: scratch folders and small sample pages.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "vorlane/pipeline/demo_page.h"
#include "vorlane/vorlane.h"

namespace pipetest {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    m_path = fs::temp_directory_path() /
             ("vorlane-pipeline-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
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

// A small sample page (the demo page at a fraction of A4) in colour or grey.
inline std::unique_ptr<CImage> SmallPage(bool colour, int width = 310, int height = 438) {
  std::unique_ptr<CHiColorImage> page = vorlane::pipeline::MakeDemoPage(width, height);
  if (colour) return page;
  auto grey = std::make_unique<CGreyScaleImage>();
  grey->CreateFromImage(page.get(), 0);
  return grey;
}

}  // namespace pipetest
