// Hostile image archives: wrong classes, schemas and references, inconsistent records, claims
// of sizes and counts the file cannot hold, truncations and bit flips all raise
// CArchiveException without crashing, leaking or allocating for the claim.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/archive_record_builder.h"
#include "support/archive_record_rigs.h"
#include "vorlane/vorlane.h"

#if defined(__SANITIZE_ADDRESS__)
#define VORLANE_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLANE_ALLOCATION_HOOKS 1
#endif
#endif
#ifdef VORLANE_ALLOCATION_HOOKS
// From the sanitizer runtime: calls the hooks on every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
#endif

using recbuild::Bytes;

namespace {

// Largest single allocation while a load runs (only where the sanitizer's allocator reports
// allocations; elsewhere 0).
std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};
#ifdef VORLANE_ALLOCATION_HOOKS
void OnMalloc(const volatile void*, size_t size) {
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (g_watching.load(std::memory_order_relaxed) && size > seen &&
         !g_largest.compare_exchange_weak(seen, size)) {
  }
}
[[maybe_unused]] const bool g_hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, [](const volatile void*) {}) != 0;
#endif

// Loads one image; returns the cause of the CArchiveException raised, or -1 when it loaded
// (the image then goes to *loaded if given), and the largest block allocated meanwhile.
std::pair<int, size_t> LoadCause(const std::vector<BYTE>& bytes,
                                 std::unique_ptr<CImage>* loaded = nullptr) {
  g_largest = 0, g_watching = true;
  int cause = -1;
  try {
    auto image = recrig::Load<CImage>(bytes);
    if (loaded) *loaded = std::move(image);
  } catch (const CArchiveException& e) {
    cause = e.m_cause;
  }
  g_watching = false;
  return {cause, g_largest.load()};
}

// A valid 3 x 2 greyscale archive with one component (class 3, object 4, with a vexed area,
// object 5) and one "Standard" map, in which each case changes one thing.
struct Recipe {
  std::string imageClass = "CGreyScaleImage", mapClass = "CImageMap";
  unsigned imageSchema = 1, mapSchema = 1;
  recbuild::ImageFields image;
  int32_t components = 1, maps = 1, current = 0, mapWidth = 3, mapHeight = 2;
  recbuild::CompFields comp = recbuild::CompFields{
      .runs = {{0, 0, 2}, {1, 1, 1}}, .externalCount = 1, .external = {{2, 1}}, .vexedFlag = 1};
  recbuild::CompFields vexed = recbuild::CompFields{.runs = {{1, 0, 0}}};
  // Replace the component objects, the map objects, the map's owner tag (0x0002, the image).
  std::function<void(Bytes&, const Recipe&)> writeComponents, writeMaps;
  std::function<void(Bytes&)> writeOwner = [](Bytes& b) { b.ObjectRef(2); };
  bool pixelBlock = true;
};

std::vector<BYTE> Build(const Recipe& s) {
  Bytes b;
  b.NewClass(s.imageClass, s.imageSchema);
  recbuild::ImageHead(b, s.image);
  b.I32(s.components);
  if (s.writeComponents) {
    s.writeComponents(b, s);
  } else {
    recbuild::CompRecord(b.NewClass("CComp"), s.comp);
    if (s.comp.vexedFlag == 1) recbuild::CompRecord(b.ClassRef(3), s.vexed);
  }
  b.I32(s.maps).I32(s.current);
  if (s.writeMaps) {
    s.writeMaps(b, s);
  } else {
    b.NewClass(s.mapClass, s.mapSchema).I32(s.mapWidth).I32(s.mapHeight);
    s.writeOwner(b);
    b.String(u"Standard").U8(1);
    // A map too large or negative to exist is followed by the bytes of an ordinary map.
    const int64_t bytes = int64_t{s.mapWidth} * s.mapHeight;
    recbuild::StandardTable(b.Zeros(bytes >= 0 && bytes <= 4096 ? static_cast<size_t>(bytes) : 6));
  }
  if (s.pixelBlock) b.Raw({1, 2, 3, 0, 4, 5, 6, 0});
  return b.Data();
}

struct HostileCase {
  const char* name;
  std::function<void(Recipe&)> change;
  int cause;  // -1: loads
};

class ArchiveHostileCase : public ::testing::TestWithParam<HostileCase> {};

TEST_P(ArchiveHostileCase, RaisesArchiveExceptionWithoutAllocatingForTheClaim) {
  Recipe recipe;
  GetParam().change(recipe);
  const auto [cause, largest] = LoadCause(Build(recipe));
  EXPECT_EQ(cause, GetParam().cause);
  // Nothing larger than the archive's buffer and class tables for a few hundred bytes.
  EXPECT_LT(largest, size_t{64} * 1024);
}

constexpr int kLoads = -1;
constexpr int kGeneric = CArchiveException::genericException;
constexpr int kEnd = CArchiveException::endOfFile;
constexpr int kIndex = CArchiveException::badIndex;
constexpr int kClass = CArchiveException::badClass;
constexpr int kSchema = CArchiveException::badSchema;
constexpr int32_t kHuge = 0x7FFFFFFF;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The component (or map) slot holds only what write writes.
std::function<void(Recipe&)> Slot(std::function<void(Bytes&, const Recipe&)> Recipe::*slot,
                                  std::function<void(Bytes&)> write) {
  return [slot, write](Recipe& s) { s.*slot = [write](Bytes& b, const Recipe&) { write(b); }; };
}
const auto ComponentSlot = [](auto write) { return Slot(&Recipe::writeComponents, write); };
const auto MapSlot = [](auto write) { return Slot(&Recipe::writeMaps, write); };
// The component record, then the raw bytes of more.
std::function<void(Recipe&)> ComponentThen(std::function<void(Bytes&)> more) {
  return [more](Recipe& s) {
    s.writeComponents = [more](Bytes& b, const Recipe& r) {
      recbuild::CompRecord(b.NewClass("CComp"), r.comp), more(b);
    };
  };
}
void NoMaps(Recipe& s) {
  s.maps = 0, s.current = -1, s.writeMaps = [](Bytes&, const Recipe&) {};
}
void ImageSize(Recipe& s, int32_t side) {
  s.image.width = s.image.height = s.image.bytesPerLine = side, s.image.pixels = 0;
}

// clang-format off
const HostileCase kCases[] = {
    // Records that look odd but are sound (and show that the base record loads): cropping,
    // rotating and tilting keep the components as they are, so they may lie outside the image.
    {"CachesThatAgreeWithTouchingRuns", [](Recipe& s) { s.comp.runs = {{0, 0, 0}, {0, 1, 2}, {1, 1, 1}}, s.comp.size = 4, s.comp.right = 2, s.comp.bottom = 1, s.comp.externalConnections = s.comp.internalConnections = 0; }, kLoads},
    {"ComponentsOutsideTheImage", [](Recipe& s) { s.comp.runs = {{-4, -7, -3}, {1, 2, 9}, {200, 0, 0}}, s.vexed.runs = {{5, 5, 6}}; }, kLoads},
    // Wrong classes and schemas.
    {"ImageClassPrefixOfAName", [](Recipe& s) { s.imageClass = "CImag"; }, kClass},
    {"ImageSchema2", [](Recipe& s) { s.imageSchema = 2; }, kSchema},
    {"ImageClassInComponentSlot", ComponentSlot([](Bytes& b) { b.ClassRef(1); }), kClass},
    {"ComponentClassInMapSlot", [](Recipe& s) { s.mapClass = "CComp"; }, kClass},
    // Bad references.
    {"NullComponent", ComponentSlot([](Bytes& b) { b.ObjectRef(0); }), kIndex},
    {"VexedAreaReferencesItsOwner", ComponentThen([](Bytes& b) { b.ObjectRef(4); }), kIndex},
    {"NullMap", MapSlot([](Bytes& b) { b.ObjectRef(0); }), kIndex},
    {"MapOwnerIsAComponent", [](Recipe& s) { s.writeOwner = [](Bytes& b) { b.ObjectRef(4); }; }, kClass},
    {"MapOwnerIsANewImage", [](Recipe& s) { s.writeOwner = [](Bytes& b) { recbuild::ImageHead(b.ClassRef(1), {}); }; }, kIndex},
    // Inconsistent records.
    {"RowLengthNotOfWidth", [](Recipe& s) { s.image.bytesPerLine = 3; }, kGeneric},
    {"NegativeWidth", [](Recipe& s) { s.image.width = -3; }, kGeneric},
    {"BitsOfAnotherFormat", [](Recipe& s) { s.image.bits = 32, s.image.bytesPerLine = 12; }, kGeneric},
    {"MorePixelsThanTheImageHas", [](Recipe& s) { s.image.pixels = 7; }, kGeneric},
    {"MagnificationNotANumber", [](Recipe& s) { s.image.magnification = kNaN; }, kGeneric},
    {"CurrentMapPastTheList", [](Recipe& s) { s.current = 1; }, kGeneric},
    {"MapNarrowerThanTheImage", [](Recipe& s) { s.mapWidth = 2; }, kGeneric},
    {"NegativeMapWidth", [](Recipe& s) { s.mapWidth = -1; }, kGeneric},
    {"RunEndingBeforeItStarts", [](Recipe& s) { s.comp.runs[0] = {0, 2, 1}; }, kGeneric},
    {"RunWiderThanAnInt", [](Recipe& s) { s.comp.runs = {{0, INT_MIN, 0}}; }, kGeneric},
    {"RunsTallerThanAnInt", [](Recipe& s) { s.comp.runs = {{INT_MIN, 0, 0}, {0, 0, 0}}, s.comp.external.clear(), s.comp.externalCount = -5; }, kGeneric},
    {"RunsOverlapping", [](Recipe& s) { s.comp.runs[1] = {0, 2, 2}; }, kGeneric},
    {"SizeNotTheRunsSize", [](Recipe& s) { s.comp.size = 5; }, kGeneric},
    {"BoundNotTheRunsExtent", [](Recipe& s) { s.comp.left = s.comp.top = 0, s.comp.right = s.comp.bottom = 1; }, kGeneric},
    {"BoundOfAComponentWithoutRuns", [](Recipe& s) { s.comp.runs.clear(), s.comp.external.clear(), s.comp.externalCount = 0, s.comp.right = 1; }, kGeneric},
    {"BorderPointsOutOfOrder", [](Recipe& s) { s.comp.externalCount = 2, s.comp.external = {{2, 1}, {0, 0}}; }, kGeneric},
    {"ConnectionCountMinus2", [](Recipe& s) { s.comp.internalConnections = -2; }, kGeneric},
    {"NegativeRunCount", [](Recipe& s) { s.comp.runCount = 0xFFFFFFFF; }, kGeneric},
    {"CentreNotANumber", [](Recipe& s) { s.comp.centerY = kNaN; }, kGeneric},
    {"NameLengthOfIntMin", [](Recipe& s) { s.image.nameUnits = 0x80000000; }, kGeneric},
    {"SharedArraysWithoutMapsToBackTheSize", [](Recipe& s) { s.image.shared = 1, NoMaps(s), s.pixelBlock = false; }, kGeneric},
    // Claims that the few hundred bytes of the archive cannot hold.
    {"HugeImageAndMap", [](Recipe& s) { ImageSize(s, 40000), s.mapWidth = s.mapHeight = 40000; }, kEnd},
    {"HugeSharedImageAndMap", [](Recipe& s) { ImageSize(s, 40000), s.image.shared = 1, s.mapWidth = s.mapHeight = 40000, s.pixelBlock = false; }, kEnd},
    {"HugeImageWithoutMaps", [](Recipe& s) { ImageSize(s, 40000), NoMaps(s), s.comp.vexedFlag = 0; }, kEnd},
    {"ImageBeyondTheBufferLimit", [](Recipe& s) { ImageSize(s, 50000); }, kGeneric},
    {"ZeroWidthImageOfHugeHeight", [](Recipe& s) { s.image.width = s.image.bytesPerLine = s.image.pixels = 0, s.image.height = kHuge, s.comp.runs.clear(), s.comp.vexedFlag = 0, s.mapWidth = 0, s.mapHeight = kHuge; }, kEnd},
    {"ZeroWidthMapOfHugeHeight", MapSlot([](Bytes& b) { b.NewClass("CImageMap").I32(0).I32(0x10000000).ObjectRef(2).String(u"x").U8(0); }), kEnd},
    {"NameLength", [](Recipe& s) { s.image.nameUnits = kHuge; }, kEnd},
    {"ComponentCount", [](Recipe& s) { s.components = kHuge; }, kEnd},
    {"MapCount", [](Recipe& s) { s.maps = kHuge; }, kEnd},
    {"RunCount", [](Recipe& s) { s.comp.runCount = kHuge; }, kEnd},
    {"BorderCount", [](Recipe& s) { s.comp.externalCount = kHuge; }, kEnd},
    {"MapBytes", MapSlot([](Bytes& b) { b.NewClass("CImageMap").I32(40000).I32(40000).ObjectRef(2).String(u"x").U8(2); }), kEnd},
    {"MapNameLength", MapSlot([](Bytes& b) { b.NewClass("CImageMap").I32(3).I32(2).ObjectRef(2).U8(0xFF).U16(0xFFFE).U8(0xFF).U16(0xFFFF).U32(0x7FFFFFF0); }), kEnd},
    {"ByteLabelTableCut", MapSlot([](Bytes& b) { b.NewClass("CImageMap").I32(3).I32(2).ObjectRef(2).String(u"x").U8(2).Zeros(6 + 40); }), kEnd},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Records, ArchiveHostileCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Checks that a loaded image is whole: its maps fit it, its components can be measured, and
// it stores (reading every pixel, map byte and table entry) and loads again to the same bytes.
void ExpectWhole(CImage& image) {
  for (int i = 0; i < image.GetImageMapCount(); ++i)
    ASSERT_TRUE(image.GetImageMap(i)->GetWidth() == image.GetWidth() &&
                image.GetImageMap(i)->GetHeight() == image.GetHeight());
  for (int i = 0; i < image.GetMaxComponent(); ++i) {
    CComp* comp = image.GetComponent(i);
    (void)(comp->GetSize() + comp->GetBoundingRect().Width() + comp->GetWidth() +
           comp->GetHeight());
    for (int r = 0; r < comp->GetMaxRun(); ++r) ASSERT_LE(comp->GetRun(r)->xl, comp->GetRun(r)->xr);
  }
  const std::vector<BYTE> stored = recrig::Store(&image);
  EXPECT_EQ(recrig::Store(recrig::Load<CImage>(stored).get()), stored);
}

// Inputs found by the archive fuzzer, kept in tests/data/archive_fuzz: each loads whole or
// raises CArchiveException, allocating no more than a small multiple of its size.
TEST(ArchiveFuzzRegressions, EveryInputFoundByTheFuzzerIsHandled) {
  const auto dir = std::filesystem::path(__FILE__).parent_path() / "data" / "archive_fuzz";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), {}};
    std::unique_ptr<CImage> image;
    EXPECT_LT(LoadCause(bytes, &image).second, 64 * bytes.size() + 64 * 1024);
    if (image) ExpectWhole(*image);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

template <class Format>
class ArchiveDamage : public ::testing::Test {};
using AllFormats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(ArchiveDamage, AllFormats);

TYPED_TEST(ArchiveDamage, EveryTruncationRaisesEndOfFile) {
  const std::vector<BYTE> stored = recrig::Store(recrig::RichImage<TypeParam>(5, 3).get());
  // Every length through the records before the byte-label table, then a sample.
  for (size_t length = 0; length < stored.size(); length += length < 2048 ? 1 : 61) {
    const std::vector<BYTE> cut(stored.begin(), stored.begin() + static_cast<ptrdiff_t>(length));
    ASSERT_EQ(LoadCause(cut).first, kEnd) << "length " << length;
  }
}

TYPED_TEST(ArchiveDamage, EveryBitFlipLoadsWholeOrRaisesArchiveException) {
  // A small image with a map of each layout but no byte-label table, so that every bit of
  // the archive can be flipped in turn.
  auto image = recrig::RichImage<TypeParam>(3, 2);
  image->SetCurrentMap(0);
  CGreyScaleImage spare;
  ASSERT_EQ(spare.Create(3, 2, 0, nullptr), 1);
  spare.AddImageMap(L"custom", MAP_BIT_LABELS);
  ASSERT_EQ(image->SwapMapArrays(&spare), 1);
  const std::vector<BYTE> stored = recrig::Store(image.get());
  int loaded = 0;
  // Every bit of the records before the palette and pixels, then one bit of each byte.
  for (size_t bit = 0; bit < stored.size() * 8; bit += bit < 8 * 512 ? 1 : 9) {
    std::vector<BYTE> flipped = stored;
    flipped[bit / 8] ^= static_cast<BYTE>(1u << (bit % 8));
    std::unique_ptr<CImage> result;
    if (LoadCause(flipped, &result).first == kLoads) {
      ASSERT_NE(result, nullptr);
      ++loaded, ExpectWhole(*result);
    }
    if (::testing::Test::HasFatalFailure()) return void(ADD_FAILURE() << "bit " << bit);
  }
  EXPECT_GT(loaded, 0);  // flips inside pixels and names load
}

}  // namespace
