// Hostile image archives: wrong classes, schemas and references, inconsistent records, claims
// of sizes and counts the file cannot hold, truncations and bit flips all raise
// CArchiveException without crashing, leaking or allocating for the claim.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/archive_record_builder.h"
#include "support/archive_record_rigs.h"
#include "support/archive_test_classes.h"
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
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));
#endif

using recbuild::Bytes;

namespace {

// ---------------------------------------------------------------------------------------------
// Largest single allocation while a load runs (only where the sanitizer's allocator reports
// allocations; elsewhere 0).

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};

#ifdef VORLANE_ALLOCATION_HOOKS
void OnMalloc(const volatile void*, size_t size) {
  if (!g_watching.load(std::memory_order_relaxed)) return;
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
  }
}
void OnFree(const volatile void*) {}
[[maybe_unused]] const bool g_hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
#endif

// Runs load and returns the largest block allocated meanwhile.
size_t LargestAllocationDuring(const std::function<void()>& load) {
  g_largest = 0;
  g_watching = true;
  try {
    load();
  } catch (...) {
    g_watching = false;
    throw;
  }
  g_watching = false;
  return g_largest;
}

// ---------------------------------------------------------------------------------------------
// A valid 3 x 2 greyscale archive with one component (with a vexed area) and one "Standard"
// map, in which each test changes one thing.

struct Recipe {
  std::string imageClass = "CGreyScaleImage";
  unsigned imageSchema = 1;
  recbuild::ImageFields image;
  int32_t components = 1;
  // Writes the component objects; by default one new CComp (class 3, object 4) with the
  // fields of comp, and its vexed area (object 5) when comp.vexedFlag is 1.
  std::function<void(Bytes&, const Recipe&)> writeComponents;
  unsigned compSchema = 1;
  recbuild::CompFields comp = DefaultComp();
  recbuild::CompFields vexed = DefaultVexed();
  int32_t maps = 1;
  int32_t current = 0;
  // Writes the map objects; by default one new CImageMap with the fields below.
  std::function<void(Bytes&, const Recipe&)> writeMaps;
  std::string mapClass = "CImageMap";
  unsigned mapSchema = 1;
  int32_t mapWidth = 3;
  int32_t mapHeight = 2;
  // Written as is: 0x0002 is the image.
  std::function<void(Bytes&)> writeOwner = [](Bytes& b) { b.ObjectRef(2); };
  bool pixelBlock = true;

  static recbuild::CompFields DefaultComp() {
    recbuild::CompFields c;
    c.runs = {{0, 0, 2}, {1, 1, 1}};
    c.externalCount = 1;
    c.external = {{2, 1}};
    c.vexedFlag = 1;
    return c;
  }
  static recbuild::CompFields DefaultVexed() {
    recbuild::CompFields c;
    c.runs = {{1, 0, 0}};
    return c;
  }
};

std::vector<BYTE> Build(const Recipe& s) {
  Bytes b;
  b.NewClass(s.imageClass, s.imageSchema);
  recbuild::ImageHead(b, s.image);
  b.I32(s.components);
  if (s.writeComponents) {
    s.writeComponents(b, s);
  } else {
    b.NewClass("CComp", s.compSchema);
    recbuild::CompRecord(b, s.comp);
    if (s.comp.vexedFlag == 1) {
      b.ClassRef(3);
      recbuild::CompRecord(b, s.vexed);
    }
  }
  b.I32(s.maps).I32(s.current);
  if (s.writeMaps) {
    s.writeMaps(b, s);
  } else {
    b.NewClass(s.mapClass, s.mapSchema);
    b.I32(s.mapWidth).I32(s.mapHeight);
    s.writeOwner(b);
    b.String(u"Standard").U8(1);
    // A map too large or negative to exist is followed by the bytes of an ordinary map.
    const int64_t bytes = int64_t{s.mapWidth} * s.mapHeight;
    b.Zeros(bytes >= 0 && bytes <= 4096 ? static_cast<size_t>(bytes) : 6);
    recbuild::StandardTable(b);
  }
  if (s.pixelBlock) b.Raw({1, 2, 3, 0, 4, 5, 6, 0});
  return b.Data();
}

// Loads one image; returns the cause of the CArchiveException raised, or -1 when it loaded.
// Any other exception fails the test.
int LoadCause(const std::vector<BYTE>& bytes) {
  try {
    auto image = recrig::Load<CImage>(bytes);
    return -1;
  } catch (const CArchiveException& e) {
    return e.m_cause;
  }
}

TEST(ArchiveHostileRecords, CachesThatAgreeWithTheRunsAndTouchingRunsLoad) {
  Recipe recipe;
  recipe.comp.runs = {{0, 0, 0}, {0, 1, 2}, {1, 1, 1}};
  recipe.comp.size = 4;
  recipe.comp.left = recipe.comp.top = 0;
  recipe.comp.right = 2;
  recipe.comp.bottom = 1;
  recipe.comp.externalConnections = recipe.comp.internalConnections = 0;
  auto image = recrig::Load<CImage>(Build(recipe));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetComponent(0)->GetSize(), 4);
  EXPECT_EQ(image->GetComponent(0)->GetBoundingRect(), CRect(0, 0, 2, 1));
}

// Cropping, rotating and tilting keep the components as they are, so that they may lie
// outside the image they are stored with.
TEST(ArchiveHostileRecords, ComponentsOutsideTheImageLoad) {
  Recipe recipe;
  recipe.comp.runs = {{-4, -7, -3}, {1, 2, 9}, {200, 0, 0}};
  recipe.vexed.runs = {{5, 5, 6}};
  auto image = recrig::Load<CImage>(Build(recipe));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetComponent(0)->GetMaxRun(), 3);
  EXPECT_EQ(image->GetComponent(0)->GetBoundingRect(), CRect(-7, -4, 9, 200));
  EXPECT_EQ(image->GetComponent(0)->GetWidth(), 17);
}

TEST(ArchiveHostileRecords, TheBaseArchiveLoads) {
  const std::vector<BYTE> bytes = Build(Recipe{});
  auto image = recrig::Load<CImage>(bytes);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetRed(0, 1), 1);  // bottom row first
  EXPECT_EQ(image->GetRed(2, 0), 6);
  ASSERT_EQ(image->GetMaxComponent(), 1);
  EXPECT_EQ(image->GetComponent(0)->GetVexed()->GetMaxRun(), 1);
  EXPECT_EQ(image->GetImageMap(0)->GetImage(), image.get());
}

struct HostileCase {
  const char* name;
  std::function<void(Recipe&)> change;
  int cause;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class ArchiveHostileCase : public ::testing::TestWithParam<HostileCase> {};

TEST_P(ArchiveHostileCase, RaisesArchiveExceptionWithoutAllocatingForTheClaim) {
  Recipe recipe;
  GetParam().change(recipe);
  const std::vector<BYTE> bytes = Build(recipe);
  int cause = -1;
  const size_t largest = LargestAllocationDuring([&] { cause = LoadCause(bytes); });
  EXPECT_EQ(cause, GetParam().cause);
  // Nothing larger than the archive's own buffer and the class tables is ever allocated for
  // an archive of a few hundred bytes.
  EXPECT_LT(largest, size_t{64} * 1024);
}

constexpr int kGeneric = CArchiveException::genericException;
constexpr int kEnd = CArchiveException::endOfFile;
constexpr int kIndex = CArchiveException::badIndex;
constexpr int kClass = CArchiveException::badClass;
constexpr int kSchema = CArchiveException::badSchema;
constexpr int32_t kHuge = 0x7FFFFFFF;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// A component slot holding something other than a new component.
std::function<void(Recipe&)> ComponentSlot(std::function<void(Bytes&)> write) {
  return [write](Recipe& s) { s.writeComponents = [write](Bytes& b, const Recipe&) { write(b); }; };
}

// Changes that recur in the tables below.
void NoMaps(Recipe& s) {
  s.maps = 0, s.current = -1, s.writeMaps = [](Bytes&, const Recipe&) {};
}
void ImageSize(Recipe& s, int32_t side) {
  s.image.width = s.image.height = s.image.bytesPerLine = side, s.image.pixels = 0;
}
// The component record, then the raw bytes of more.
std::function<void(Recipe&)> ComponentThen(std::function<void(Bytes&)> more, int components = 1) {
  return [more, components](Recipe& s) {
    s.components = components, s.comp.vexedFlag = components == 1;
    s.writeComponents = [more](Bytes& b, const Recipe& r) {
      b.NewClass("CComp"), recbuild::CompRecord(b, r.comp), more(b);
    };
  };
}
// A map slot written by write.
std::function<void(Recipe&)> MapSlot(std::function<void(Bytes&)> write) {
  return [write](Recipe& s) { s.writeMaps = [write](Bytes& b, const Recipe&) { write(b); }; };
}

const HostileCase kWrongClassesAndSchemas[] = {
    {"UnknownImageClass", [](Recipe& s) { s.imageClass = "CImagf"; }, kClass},
    {"ImageClassPrefixOfAName", [](Recipe& s) { s.imageClass = "CImag"; }, kClass},
    {"ComponentClassAsImage", [](Recipe& s) { s.imageClass = "CComp"; }, kClass},
    {"ClassNameOf64Characters", [](Recipe& s) { s.imageClass = std::string(64, 'C'); }, kClass},
    {"ImageSchema2", [](Recipe& s) { s.imageSchema = 2; }, kSchema},
    {"ImageSchema0", [](Recipe& s) { s.imageSchema = 0; }, kSchema},
    {"ComponentSchema3", [](Recipe& s) { s.compSchema = 3; }, kSchema},
    {"MapSchema2", [](Recipe& s) { s.mapSchema = 2; }, kSchema},
    {"ImageClassInComponentSlot", ComponentSlot([](Bytes& b) { b.ClassRef(1); }), kClass},
    {"MapClassInComponentSlot", ComponentSlot([](Bytes& b) { b.NewClass("CImageMap"); }), kClass},
    {"ComponentClassInMapSlot", [](Recipe& s) { s.mapClass = "CComp"; }, kClass},
};
INSTANTIATE_TEST_SUITE_P(WrongClassesAndSchemas, ArchiveHostileCase,
                         ::testing::ValuesIn(kWrongClassesAndSchemas),
                         [](const auto& info) { return std::string(info.param.name); });

const HostileCase kBadReferences[] = {
    {"NullComponent", ComponentSlot([](Bytes& b) { b.ObjectRef(0); }), kIndex},
    {"ComponentReferencesTheImage", ComponentSlot([](Bytes& b) { b.ObjectRef(2); }), kIndex},
    {"ComponentPastTheTable", ComponentSlot([](Bytes& b) { b.ObjectRef(0x40); }), kIndex},
    {"ComponentBigTagPastTheTable", ComponentSlot([](Bytes& b) { b.U16(0x7FFF).U32(0x00012345); }),
     kIndex},
    {"ClassReferencePastTheTable", ComponentSlot([](Bytes& b) { b.ClassRef(0x40); }), kIndex},
    {"VexedAreaReferencesItsOwner", ComponentThen([](Bytes& b) { b.ObjectRef(4); }), kIndex},
    {"SecondComponentRepeatsTheFirst", ComponentThen([](Bytes& b) { b.ObjectRef(4); }, 2), kIndex},
    {"NullMap", MapSlot([](Bytes& b) { b.ObjectRef(0); }), kIndex},
    {"MapOwnerPastTheTable", [](Recipe& s) { s.writeOwner = [](Bytes& b) { b.ObjectRef(0x40); }; },
     kIndex},
    {"MapOwnerIsAComponent", [](Recipe& s) { s.writeOwner = [](Bytes& b) { b.ObjectRef(4); }; },
     kClass},
    {"MapOwnerIsANewImage",
     [](Recipe& s) { s.writeOwner = [](Bytes& b) { b.ClassRef(1), recbuild::ImageHead(b, {}); }; },
     kIndex},
};
INSTANTIATE_TEST_SUITE_P(BadReferences, ArchiveHostileCase, ::testing::ValuesIn(kBadReferences),
                         [](const auto& info) { return std::string(info.param.name); });

const HostileCase kInconsistentRecords[] = {
    {"RowLengthNotOfWidth", [](Recipe& s) { s.image.bytesPerLine = 3; }, kGeneric},
    {"RowLengthUnpadded", [](Recipe& s) { s.image.bytesPerLine = 5; }, kGeneric},
    {"NegativeWidth", [](Recipe& s) { s.image.width = -3; }, kGeneric},
    {"NegativeHeight", [](Recipe& s) { s.image.height = -2; }, kGeneric},
    {"BitsOfAnotherFormat", [](Recipe& s) { s.image.bits = 32, s.image.bytesPerLine = 12; },
     kGeneric},
    {"BitsBeyond32", [](Recipe& s) { s.image.bits = 64, s.image.bytesPerLine = 24; }, kGeneric},
    {"MorePixelsThanTheImageHas", [](Recipe& s) { s.image.pixels = 7; }, kGeneric},
    {"NegativePixelCount", [](Recipe& s) { s.image.pixels = -1; }, kGeneric},
    {"MagnificationNotANumber", [](Recipe& s) { s.image.magnification = kNaN; }, kGeneric},
    {"CurrentMapPastTheList", [](Recipe& s) { s.current = 1; }, kGeneric},
    {"CurrentMapBelowNone", [](Recipe& s) { s.current = -2; }, kGeneric},
    {"CurrentMapWithoutMaps", [](Recipe& s) { NoMaps(s), s.current = 0; }, kGeneric},
    {"MapNarrowerThanTheImage", [](Recipe& s) { s.mapWidth = 2; }, kGeneric},
    {"MapTallerThanTheImage", [](Recipe& s) { s.mapHeight = 3; }, kGeneric},
    {"NegativeMapWidth", [](Recipe& s) { s.mapWidth = -1; }, kGeneric},
    {"RunEndingBeforeItStarts",
     [](Recipe& s) {
       s.comp.runs[0] = {0, 2, 1};
     },
     kGeneric},
    {"RunWiderThanAnInt",
     [](Recipe& s) {
       s.comp.runs = {{0, INT_MIN, 0}};
     },
     kGeneric},
    {"RunsTallerThanAnInt",
     [](Recipe& s) {
       s.comp.runs = {{INT_MIN, 0, 0}, {0, 0, 0}}, s.comp.external.clear(),
       s.comp.externalCount = -5;
     },
     kGeneric},
    {"VexedRunWiderThanAnInt",
     [](Recipe& s) {
       s.vexed.runs = {{0, 0, INT_MAX}, {1, -1, -1}};
     },
     kGeneric},
    {"RunsOutOfOrder", [](Recipe& s) { std::swap(s.comp.runs[0], s.comp.runs[1]); }, kGeneric},
    {"RunsOverlapping",
     [](Recipe& s) {
       s.comp.runs[1] = {0, 2, 2};
     },
     kGeneric},
    {"SizeNotTheRunsSize", [](Recipe& s) { s.comp.size = 5; }, kGeneric},
    {"BoundNotTheRunsExtent",
     [](Recipe& s) { s.comp.left = s.comp.top = 0, s.comp.right = s.comp.bottom = 1; }, kGeneric},
    {"BoundOfAComponentWithoutRuns",
     [](Recipe& s) {
       s.comp.runs.clear(), s.comp.external.clear(), s.comp.externalCount = 0, s.comp.right = 1;
     },
     kGeneric},
    {"BorderPointsOutOfOrder",
     [](Recipe& s) {
       s.comp.externalCount = 2, s.comp.external = {{2, 1}, {0, 0}};
     },
     kGeneric},
    {"BorderPointRepeated",
     [](Recipe& s) {
       s.comp.internalCount = 2, s.comp.internal = {{1, 1}, {1, 1}};
     },
     kGeneric},
    {"ConnectionCountMinus2", [](Recipe& s) { s.comp.internalConnections = -2; }, kGeneric},
    {"NegativeRunCount", [](Recipe& s) { s.comp.runCount = 0xFFFFFFFF; }, kGeneric},
    {"BorderCountMinus3", [](Recipe& s) { s.comp.externalCount = -3, s.comp.external.clear(); },
     kGeneric},
    {"SizeMinus2", [](Recipe& s) { s.comp.size = -2; }, kGeneric},
    {"CentreNotANumber", [](Recipe& s) { s.comp.centerY = kNaN; }, kGeneric},
    {"CentreInfinite", [](Recipe& s) { s.comp.centerX = INFINITY; }, kGeneric},
    {"NegativeComponentCount", [](Recipe& s) { s.components = -1; }, kGeneric},
    {"SharedArraysWithoutMapsToBackTheSize",
     [](Recipe& s) { s.image.shared = 1, NoMaps(s), s.pixelBlock = false; }, kGeneric},
};
INSTANTIATE_TEST_SUITE_P(InconsistentRecords, ArchiveHostileCase,
                         ::testing::ValuesIn(kInconsistentRecords),
                         [](const auto& info) { return std::string(info.param.name); });

// Claims that the few hundred bytes of the archive cannot hold.
const HostileCase kHugeClaims[] = {
    {"HugeImageAndMap", [](Recipe& s) { ImageSize(s, 40000), s.mapWidth = s.mapHeight = 40000; },
     kEnd},
    {"HugeSharedImageAndMap",
     [](Recipe& s) {
       ImageSize(s, 40000), s.image.shared = 1, s.mapWidth = s.mapHeight = 40000,
                            s.pixelBlock = false;
     },
     kEnd},
    {"HugeImageWithoutMaps",
     [](Recipe& s) { ImageSize(s, 40000), NoMaps(s), s.comp.vexedFlag = 0; }, kEnd},
    {"ImageBeyondTheBufferLimit", [](Recipe& s) { ImageSize(s, 50000); }, kGeneric},
    {"ZeroWidthImageOfHugeHeight",
     [](Recipe& s) {
       s.image.width = s.image.bytesPerLine = s.image.pixels = 0, s.image.height = kHuge;
       s.comp.runs.clear(), s.comp.vexedFlag = 0, s.mapWidth = 0, s.mapHeight = kHuge;
     },
     kEnd},
    {"ZeroWidthMapOfHugeHeight", MapSlot([](Bytes& b) {
       b.NewClass("CImageMap").I32(0).I32(0x10000000).ObjectRef(2).String(u"x").U8(0);
     }),
     kEnd},
    {"ComponentCount", [](Recipe& s) { s.components = kHuge; }, kEnd},
    {"MapCount", [](Recipe& s) { s.maps = kHuge; }, kEnd},
    {"RunCount", [](Recipe& s) { s.comp.runCount = kHuge; }, kEnd},
    {"BorderCount", [](Recipe& s) { s.comp.externalCount = kHuge; }, kEnd},
    {"InternalBorderCount", [](Recipe& s) { s.comp.internalCount = 0x10000000; }, kEnd},
    {"MapBytes", MapSlot([](Bytes& b) {
       b.NewClass("CImageMap").I32(40000).I32(40000).ObjectRef(2).String(u"x").U8(2);
     }),
     kEnd},
    {"MapNameLength", MapSlot([](Bytes& b) {
       b.NewClass("CImageMap").I32(3).I32(2).ObjectRef(2);
       b.U8(0xFF).U16(0xFFFE).U8(0xFF).U16(0xFFFF).U32(0x7FFFFFF0);
     }),
     kEnd},
    {"ByteLabelTableCut", MapSlot([](Bytes& b) {
       b.NewClass("CImageMap").I32(3).I32(2).ObjectRef(2).String(u"x").U8(2).Zeros(6 + 40);
     }),
     kEnd},
};
INSTANTIATE_TEST_SUITE_P(HugeClaims, ArchiveHostileCase, ::testing::ValuesIn(kHugeClaims),
                         [](const auto& info) { return std::string(info.param.name); });

// Name lengths are written by hand: the builder derives them from the name.
TEST(ArchiveHostileRecords, NameLengthsTheFileCannotHoldAreRefused) {
  for (const uint32_t claim : {0x7FFFFFFFu, 0x00001000u, 0xFFFFFFFFu, 0x80000000u}) {
    Bytes b;
    b.NewClass("CGreyScaleImage");
    recbuild::ImageFields f;
    recbuild::ImageHead(b, f);  // name length 0 as the last four bytes
    std::vector<BYTE> bytes = b.Data();
    for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<BYTE>(claim >> (8 * i));
    bytes.insert(bytes.end(), 64, 0x41);
    int cause = -1;
    const size_t largest = LargestAllocationDuring([&] { cause = LoadCause(bytes); });
    EXPECT_EQ(cause, claim >= 0x80000000u ? kGeneric : kEnd) << claim;
    EXPECT_LT(largest, size_t{64} * 1024);
  }
}

// ---------------------------------------------------------------------------------------------
// Truncations and bit flips of real archives

// Checks that a loaded image is whole: every pixel and map byte can be read, the components
// can be measured, and it stores and loads again to the same bytes.
void ExpectWhole(CImage& image) {
  unsigned long sum = 0;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) sum += image.GetRGBColor(x, y);
  }
  for (int i = 0; i < image.GetImageMapCount(); ++i) {
    CImageMap* map = image.GetImageMap(i);
    ASSERT_EQ(map->GetWidth(), image.GetWidth());
    ASSERT_EQ(map->GetHeight(), image.GetHeight());
    for (int y = 0; y < map->GetHeight(); ++y) {
      for (int x = 0; x < map->GetWidth(); ++x) sum += map->PrivateGetMapByte(x, y);
    }
    for (int t = 0; t < map->GetPTCount(); ++t) sum += std::wcslen(map->GetPTName(t));
  }
  for (int i = 0; i < image.GetMaxComponent(); ++i) {
    CComp* comp = image.GetComponent(i);
    sum += static_cast<unsigned long>(comp->GetSize() + comp->GetBoundingRect().Width());
    sum += static_cast<unsigned long>(comp->GetWidth() + comp->GetHeight());
    for (int r = 0; r < comp->GetMaxRun(); ++r) ASSERT_LE(comp->GetRun(r)->xl, comp->GetRun(r)->xr);
  }
  if (image.GetName()) sum += std::wcslen(image.GetName());
  (void)sum;
  const std::vector<BYTE> stored = recrig::Store(&image);
  auto again = recrig::Load<CImage>(stored);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(recrig::Store(again.get()), stored);
}

// ---------------------------------------------------------------------------------------------
// Inputs found by the archive fuzzer, kept in tests/data/archive_fuzz: each loads whole or
// raises CArchiveException, allocating no more than a small multiple of its size.

std::vector<BYTE> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ArchiveFuzzRegressions, EveryInputFoundByTheFuzzerIsHandled) {
  const auto dir = std::filesystem::path(__FILE__).parent_path() / "data" / "archive_fuzz";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<BYTE> bytes = ReadFile(entry.path());
    std::unique_ptr<CImage> image;
    const size_t largest = LargestAllocationDuring([&] {
      try {
        image = recrig::Load<CImage>(bytes);
      } catch (const CArchiveException&) {
      }
    });
    EXPECT_LT(largest, 64 * bytes.size() + 64 * 1024);
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
  auto image = recrig::RichImage<TypeParam>(5, 3);
  const std::vector<BYTE> stored = recrig::Store(image.get());
  // Every length through the records before the byte-label table, then a sample.
  for (size_t length = 0; length < stored.size(); length += length < 2048 ? 1 : 61) {
    const std::vector<BYTE> cut(stored.begin(), stored.begin() + static_cast<ptrdiff_t>(length));
    ASSERT_EQ(LoadCause(cut), kEnd) << "length " << length;
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
    try {
      auto result = recrig::Load<CImage>(flipped);
      ASSERT_NE(result, nullptr);
      ++loaded;
      ExpectWhole(*result);
    } catch (const CArchiveException&) {
    }
    if (::testing::Test::HasFatalFailure()) {
      ADD_FAILURE() << "bit " << bit;
      return;
    }
  }
  EXPECT_GT(loaded, 0);  // flips inside pixels and names load
}

}  // namespace
