// Storing and loading the A4 benchmark page of each format (with its "Standard" map) through
// an archive, in memory and in a file, with a cold heap (fresh pages; file loads also read
// past the page cache) and a warm one (reused pages). The stores also with the host's figure
// (_Host: a copy of the page made, then stored); a load makes its image anew by itself, so its
// figures are the host's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

using vorlane::bench::kPageHeight;
using vorlane::bench::kPageWidth;

struct BiLevelPage {
  static CBiLevelImage& Get() { return vorlane::bench::BenchBiLevelPage(); }
};
struct GreyPage {
  static CGreyScaleImage& Get() { return vorlane::bench::BenchGreyPage(); }
};
struct LoColourPage {
  static CLoColorImage& Get() { return vorlane::bench::BenchLoColourPage(); }
};
struct HiColourPage {
  static CHiColorImage& Get() { return vorlane::bench::BenchColourPage(); }
};

// The bi-level page with the components of its connected component analysis (8-connected).
struct BiLevelPageWithComponents {
  static CBiLevelImage& Get() {
    static CBiLevelImage* page = [] {
      auto* image = new CBiLevelImage;
      image->CreateDuplicate(&vorlane::bench::BenchBiLevelPage(), 0);
      image->CCAnalysis(1);
      return image;
    }();
    return *page;
  }
};

void Report(benchmark::State& state, size_t archiveBytes) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(archiveBytes));
  state.SetItemsProcessed(state.iterations() * int64_t{kPageWidth} * kPageHeight);
  state.counters["archive_MB"] = static_cast<double>(archiveBytes) / 1e6;
}

// Stores image into file at its position.
void Store(CImage& image, CFile& file) {
  CArchive ar(&file, CArchive::store);
  ar << static_cast<const CObject*>(&image);
  ar.Close();
}

std::vector<BYTE> StoreToBytes(CImage& image) {
  CMemFile file;
  Store(image, file);
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

std::unique_ptr<CImage> LoadFrom(CFile& file) {
  CArchive ar(&file, CArchive::load);
  CImage* image = nullptr;
  ar >> image;
  return std::unique_ptr<CImage>(image);
}

// A file in the temporary directory, removed at the end of the benchmark.
class TempPath {
 public:
  TempPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vorlane-bench-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0) ::close(fd);
    m_path = pattern;
    m_wide.assign(m_path.begin(), m_path.end());
  }
  ~TempPath() { ::unlink(m_path.c_str()); }
  const wchar_t* Wide() const { return m_wide.c_str(); }
  // Writes the file's dirty pages to disk and drops its pages from the page cache, so that
  // the next read comes from the disk.
  void DropFromCache() const {
    const int fd = ::open(m_path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }

 private:
  std::string m_path;
  std::wstring m_wide;
};

// Into a memory file: cold, a new file each time; warm, the same file overwritten; the host's
// figure, a copy of the page (with its components) and a new file.
template <class Page>
void BM_ArchiveStoreMemory(benchmark::State& state, bool host) {
  size_t bytes = 0;
  if (host) {
    vorlane::bench::HostFigure(
        state,
        [] {
          return std::pair(vorlane::bench::FreshCopyWithComponents(Page::Get()),
                           std::make_unique<CMemFile>(1 << 20));
        },
        [&](auto& in) {
          Store(*in.first, *in.second);
          bytes = static_cast<size_t>(in.second->GetPosition());
        });
    return Report(state, bytes);
  }
  HeapMode heap(state);
  CImage& page = Page::Get();
  CMemFile reused(1 << 20);
  for (auto _ : state) {
    CMemFile fresh(1 << 20);
    CMemFile& file = heap.Warm() ? reused : fresh;
    file.SeekToBegin();
    Store(page, file);
    bytes = static_cast<size_t>(file.GetPosition());
  }
  Report(state, bytes);
}

template <class Page>
void BM_ArchiveLoadMemory(benchmark::State& state) {
  std::vector<BYTE> bytes = StoreToBytes(Page::Get());
  HeapMode heap(state);
  for (auto _ : state) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    auto image = LoadFrom(file);
    benchmark::DoNotOptimize(image.get());
  }
  Report(state, bytes.size());
}

// Into a file, through the page cache (the disk write happens later); the host's figure
// stores a copy of the page made in the timed run.
template <class Page>
void BM_ArchiveStoreFile(benchmark::State& state, bool host) {
  TempPath path;
  size_t bytes = 0;
  const auto store = [&](CImage& page) {
    CFile file(path.Wide(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
    Store(page, file);
    bytes = static_cast<size_t>(file.GetLength());
    file.Close();
  };
  if (host) {
    vorlane::bench::HostFigure(
        state, [] { return vorlane::bench::FreshCopyWithComponents(Page::Get()); },
        [&](auto& copy) { store(*copy); });
  } else {
    HeapMode heap(state);
    for (auto _ : state) store(Page::Get());
  }
  Report(state, bytes);
}

// From a file: cold, read from the disk (the file's pages dropped from the cache first) into
// fresh memory; warm, from the page cache into reused memory.
template <class Page>
void BM_ArchiveLoadFile(benchmark::State& state) {
  TempPath path;
  const std::vector<BYTE> bytes = StoreToBytes(Page::Get());
  {
    CFile out(path.Wide(), CFile::modeCreate | CFile::modeWrite);
    out.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    out.Close();
  }
  HeapMode heap(state);
  for (auto _ : state) {
    if (!heap.Warm()) {
      state.PauseTiming();
      path.DropFromCache();
      state.ResumeTiming();
    }
    CFile file(path.Wide(), CFile::modeRead | CFile::shareDenyWrite);
    auto image = LoadFrom(file);
    benchmark::DoNotOptimize(image.get());
  }
  Report(state, bytes.size());
}

#define VORLANE_ARCHIVE_BENCH(name)      \
  BENCHMARK_TEMPLATE(name, BiLevelPage)  \
      ->ArgName("warm")                  \
      ->Arg(0)                           \
      ->Arg(1)                           \
      ->Unit(benchmark::kMillisecond);   \
  BENCHMARK_TEMPLATE(name, GreyPage)     \
      ->ArgName("warm")                  \
      ->Arg(0)                           \
      ->Arg(1)                           \
      ->Unit(benchmark::kMillisecond);   \
  BENCHMARK_TEMPLATE(name, LoColourPage) \
      ->ArgName("warm")                  \
      ->Arg(0)                           \
      ->Arg(1)                           \
      ->Unit(benchmark::kMillisecond);   \
  BENCHMARK_TEMPLATE(name, HiColourPage) \
      ->ArgName("warm")                  \
      ->Arg(0)                           \
      ->Arg(1)                           \
      ->Unit(benchmark::kMillisecond)

// The stores, each with its host's figure.
#define VORLANE_ARCHIVE_STORE_BENCH(name)                                      \
  VORLANE_BENCHMARK_WITH_HOST(name<BiLevelPage>, vorlane::bench::ColdAndWarm,  \
                              vorlane::bench::Milliseconds);                   \
  VORLANE_BENCHMARK_WITH_HOST(name<GreyPage>, vorlane::bench::ColdAndWarm,     \
                              vorlane::bench::Milliseconds);                   \
  VORLANE_BENCHMARK_WITH_HOST(name<LoColourPage>, vorlane::bench::ColdAndWarm, \
                              vorlane::bench::Milliseconds);                   \
  VORLANE_BENCHMARK_WITH_HOST(name<HiColourPage>, vorlane::bench::ColdAndWarm, \
                              vorlane::bench::Milliseconds)

VORLANE_ARCHIVE_STORE_BENCH(BM_ArchiveStoreMemory);
VORLANE_BENCHMARK_WITH_HOST(BM_ArchiveStoreMemory<BiLevelPageWithComponents>,
                            vorlane::bench::ColdAndWarm, vorlane::bench::Milliseconds);
BENCHMARK_TEMPLATE(BM_ArchiveLoadMemory, BiLevelPageWithComponents)
    ->ArgName("warm")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
VORLANE_ARCHIVE_BENCH(BM_ArchiveLoadMemory);
VORLANE_ARCHIVE_STORE_BENCH(BM_ArchiveStoreFile);
VORLANE_ARCHIVE_BENCH(BM_ArchiveLoadFile);

}  // namespace
