// Image maps: label modes, the predefined tables, labels, backups, the image's map list, and
// morphology and projections of map labels.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace {

TEST(PredefinedMaps, StandardMarksBackgroundWithBitOne) {
  CGreyScaleImage image;
  image.Create(4, 3, 0, nullptr);
  CImageMap* map = image.GetImageMap(0);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->GetPTByteLabel(L"Background"), 1);
  unsigned char r = 9, g = 9, b = 9;
  EXPECT_FALSE(map->GetMapColour(2, 1, &r, &g, &b));
  EXPECT_EQ(r, 9);  // outputs untouched on FALSE
  map->MapByteAddAttribute(2, 1, 1);
  EXPECT_TRUE(image.IsBackground(2, 1));
}

TEST(PredefinedMaps, DorvaleUsesByteLabels) {
  CImageMap map;
  ASSERT_TRUE(map.Create(3, 2, static_cast<unsigned char>(MAP_DORVALE)));
  // Type names are case-sensitive.
  EXPECT_EQ((std::vector<int>{map.GetPTCount(), map.GetPTByteLabel(L"Paper"),
                              map.GetPTByteLabel(L"paper"), map.GetNextFreeLabel(),
                              map.GetPTBlue(L"Photo"), map.GetPTVisible(L"Foreground")}),
            (std::vector<int>{256, 1, 0, 14, 255, 0}));
  map.SetMapByte(1, 1, 8);
  EXPECT_TRUE(map.IsPixelType(1, 1, L"Text") && !map.IsPixelType(0, 0, L"Text"));
  EXPECT_TRUE(map.IsPixelType(0, 0, L"Foreground"));
  EXPECT_TRUE(map.IsPreDefinedMap(MAP_DORVALE) && !map.IsPreDefinedMap(MAP_STANDARD));
}

TEST(BitLabels, LowestVisibleSetBitGivesColourAndName) {
  CImageMap map;
  map.Create(1, 1, L"custom", MAP_BIT_LABELS);
  EXPECT_EQ(map.GetPTName(1), std::wstring(L""));
  map.SetPixelType(1, L"one", 10, 20, 30, 0);
  map.SetPixelType(2, L"two", 40, 50, 60, 1);
  unsigned char r = 0, g = 0, b = 0;
  ASSERT_TRUE(map.GetMapColour(static_cast<unsigned char>(0x06), &r, &g, &b) && r == 40);
  map.SetPTVisible(2, 0);
  EXPECT_FALSE(map.GetMapColour(static_cast<unsigned char>(0x06), &r, &g, &b));
  EXPECT_STREQ(map.GetPTName(static_cast<unsigned char>(0x06)), L"one");
  EXPECT_EQ(map.GetPTName(static_cast<unsigned char>(0)), nullptr);
  map.SetPTName(static_cast<unsigned char>(0x04), L"renamed");
  EXPECT_STREQ(map.GetPTName(2), L"renamed");
}

TEST(PixelTypeTable, AbsentIndicesAndModeZeroChangeNothing) {
  CImageMap bits, bytes, none;
  bits.Create(1, 1, L"b", MAP_BIT_LABELS);
  bytes.Create(1, 1, L"B", MAP_BYTE_LABELS);
  none.Create(1, 1, L"n", MAP_NO_TYPES);
  EXPECT_EQ((std::vector<bool>{bits.SetPixelType(8, L"x", 1, 2, 3, 1) != 0,
                               bits.SetPixelType(-1, L"x", 1, 2, 3, 1) != 0,
                               bytes.SetPixelType(256, L"x", 1, 2, 3, 1) != 0,
                               bytes.SetPixelType(255, L"x", 1, 2, 3, 1) != 0,
                               none.SetPixelType(0, L"x", 1, 2, 3, 1) != 0,
                               none.IsPixelType(0, 0, static_cast<unsigned char>(0)) != 0}),
            (std::vector<bool>{false, false, false, true, false, false}));
  EXPECT_EQ((std::vector<int>{none.GetPTCount(), none.GetPTByteLabel(L"x"), none.GetNextFreeLabel(),
                              bits.GetPTRed(99), bits.GetPTIndex(nullptr)}),
            (std::vector<int>{0, 0, -1, 0, -1}));
  EXPECT_EQ(none.GetPTName(0), nullptr);
  bits.SetPTColour(L"missing", 1, 2, 3);
  bits.SetPTName(42, L"nothing");
  EXPECT_EQ(bits.GetPTIndex(L"nothing"), -1);
}

TEST(Labels, AllocationRenamesAllOrNothing) {
  CImageMap map;
  map.Create(1, 1, static_cast<unsigned char>(MAP_STANDARD));
  int idx[8] = {};
  EXPECT_FALSE(map.AllocateLabels(8, idx, L"x"));  // only seven are free
  EXPECT_EQ(map.GetNextFreeLabel(), 1);
  ASSERT_TRUE(map.AllocateLabels(2, idx, nullptr));
  EXPECT_EQ((std::vector<int>{idx[0], idx[1], map.GetNextFreeLabel()}),
            (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(std::wstring(map.GetPTName(1)) + map.GetPTName(2), L"*Allocated**Allocated*");
  EXPECT_FALSE(map.AllocateLabels(0, idx, nullptr) || map.AllocateLabels(1, nullptr, nullptr));
}

TEST(MapBytes, CheckedAccessIgnoresPointsOutside) {
  CImageMap map;
  map.Create(3, 2, L"m", MAP_BYTE_LABELS);
  map.SetMapByte(-1, 0, 7);
  map.SetMapByte(3, 0, 7);
  map.SetMapByte(0, 2, 7);
  map.MapByteAddAttribute(5, 5, 1);
  map.MapByteRemoveAttribute(-5, 0, 1);
  EXPECT_EQ(map.GetMapByte(-1, 0), 0);
  EXPECT_EQ(std::vector<unsigned char>(map.GetLine(0), map.GetLine(0) + 6),
            std::vector<unsigned char>(6, 0));
  map.SetMapByte(2, 1, 0x0F);
  map.MapByteRemoveAttribute(2, 1, 0x05);
  const unsigned char removed = map.GetMapByte(2, 1);
  map.MapByteAddAttribute(2, 1, 0x01);
  EXPECT_EQ(removed * 256 + map.GetMapByte(2, 1), 0x0A0B);
  EXPECT_EQ(map.GetLine(1) - map.GetLine(0), 3);  // rows without gaps, top row first
}

TEST(MapBackups, RestoreSwapsAndRestoringTwiceReturns) {
  CImageMap map;
  map.Create(4, 4, L"m", MAP_BYTE_LABELS);
  map.SetMapByte(1, 1, 3);
  EXPECT_EQ(map.RestoreBackup(), nullptr);
  ASSERT_NE(map.CreateBackup(), nullptr);
  map.ClearMap(5);
  EXPECT_NE(map.RestoreBackup(), nullptr);
  EXPECT_TRUE(map.GetMapByte(1, 1) == 3 && map.GetMapByte(0, 0) == 0);
  map.RestoreBackup();
  EXPECT_EQ(map.GetMapByte(1, 1), 5);
}

TEST(ImageMapList, AddFindAndRefuseDuplicates) {
  CGreyScaleImage image;
  image.Create(5, 4, 0, nullptr);
  EXPECT_EQ(image.AddImageMap(static_cast<unsigned char>(MAP_STANDARD)), nullptr);
  CImageMap* dorvale = image.SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  ASSERT_NE(dorvale, nullptr);
  EXPECT_EQ(image.SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE)), dorvale);
  CImageMap* custom = image.AddImageMap(L"Regions", MAP_BYTE_LABELS);
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(image.AddImageMap(L"Regions", MAP_BIT_LABELS), nullptr);
  EXPECT_EQ(image.GetImageMap(L"Regions"), custom);
  EXPECT_EQ(image.SafeGetImageMap(L"Regions", MAP_BIT_LABELS), custom);
  // Map names compare with case.
  EXPECT_EQ((std::vector<int>{image.GetImageMapIndex(L"Regions"),
                              image.GetImageMapIndex(L"regions"), image.GetImageMapCount()}),
            (std::vector<int>{2, -1, 3}));
  EXPECT_TRUE(!image.GetImageMap(3) && !image.GetImageMap(-1) &&
              !image.GetImageMap(static_cast<const wchar_t*>(nullptr)));
  // Ids other than the two predefined ones add an unnamed, table-less map every time.
  CImageMap* odd1 = image.AddImageMap(static_cast<unsigned char>(7));
  CImageMap* odd2 = image.AddImageMap(static_cast<unsigned char>(7));
  ASSERT_TRUE(odd1 && odd2 && odd1 != odd2);
  EXPECT_TRUE(odd1->GetPTCount() == 0 && image.GetImageMapCount() == 5);
}

using Longs = std::vector<long>;

// The map's bytes as rows of characters joined by '|': '.' for 0, else '0' + byte.
std::string Rows(const CImageMap& map) {
  std::string rows;
  for (int y = 0; y < map.GetHeight(); ++y) {
    if (y) rows += '|';
    for (int x = 0; x < map.GetWidth(); ++x) {
      const int b = map.GetMapByte(x, y);
      rows += b ? static_cast<char>('0' + b) : '.';
    }
  }
  return rows;
}

// A map of the size and bytes that rows (as Rows writes them) give.
void Paint(CImageMap& map, const std::string& rows) {
  int x = 0, y = 0;
  for (const char ch : rows) {
    if (ch == '|') {
      ++y, x = 0;
      continue;
    }
    map.SetMapByte(x++, y, ch == '.' ? 0 : static_cast<unsigned char>(ch - '0'));
  }
}

struct MorphCase {
  const char* name;
  int mode, operation, size, label, option;
  std::string before, after;
};

TEST(MapMorphology, DilationAndErosionFollowTheLabelRules) {
  const MorphCase cases[] = {
      {"dilate point", MAP_BIT_LABELS, 2, 3, 1, 0, ".....|.....|..1..|.....|.....",
       ".....|.111.|.111.|.111.|....."},
      {"size 4 acts as 3, border rows stay", MAP_BIT_LABELS, 2, 4, 1, 0, ".....|..1..|.....",
       ".....|.111.|....."},
      {"size 5", MAP_BIT_LABELS, 2, 5, 1, 0, ".......|.......|..1....|.......|.......",
       ".......|.......|..111..|.......|......."},
      {"erode block, option keeps", MAP_BIT_LABELS, 1, 3, 1, 1, ".....|.113.|.111.|.111.|.....",
       ".....|...3.|..1..|.....|....."},
      {"erode block, no option", MAP_BIT_LABELS, 1, 3, 1, 0, ".....|.113.|.111.|.111.|.....",
       ".....|...2.|..1..|.....|....."},
      {"border never changes", MAP_BIT_LABELS, 2, 3, 1, 0, "1..|...|...", "1..|.1.|..."},
      {"byte labels", MAP_BYTE_LABELS, 2, 3, 5, 0, ".....|.....|..5..|.....|....2",
       ".....|.555.|.555.|.555.|....2"},
  };
  for (const MorphCase& c : cases) {
    CImageMap map;
    const int width = static_cast<int>(c.before.find('|'));
    map.Create(width, static_cast<int>(c.before.size() + 1) / (width + 1), L"m",
               static_cast<unsigned char>(c.mode));
    Paint(map, c.before);
    map.ApplyMorphologicalFilterToMap(static_cast<unsigned char>(c.operation), c.size,
                                      static_cast<unsigned char>(c.label),
                                      static_cast<unsigned char>(c.option));
    EXPECT_EQ(Rows(map), c.after) << c.name;
  }
}

TEST(MapMorphology, ByteErosionWritesForegroundOrRestoresFromTheBackup) {
  CImageMap map;
  map.Create(5, 5, static_cast<unsigned char>(MAP_DORVALE));
  Paint(map, ".....|.444.|.444.|.444.|.....");
  map.CreateBackup();
  Paint(map, ".....|.777.|.777.|.777.|.....");
  map.ApplyMorphologicalFilterToMap(1, 3, 7, 1);
  EXPECT_EQ(Rows(map), ".....|.444.|.474.|.444.|.....");
  map.ApplyMorphologicalFilterToMap(1, 3, 7, 0);
  EXPECT_EQ(map.GetMapByte(2, 2), map.GetPTByteLabel(L"Foreground"));
  map.ApplyMorphologicalFilterToMap(9, 3, 4, 0);  // no such operation
  EXPECT_EQ(map.GetMapByte(1, 1), 4);
}

TEST(MapMorphology, ACancelRestoresTheMapAndTheImageFormPicksItsMap) {
  auto image = sample::Make(sample::Fmt::kGrey, 6, 6);
  CImageMap* map = image->GetImageMap(0);
  map->SetMapByte(3, 3, 1);
  const auto before = Rows(*map);
  vorlane::SetKeepAliveHandler([](CImage&, int, int) { return true; });
  image->ApplyMorphologicalFilterToMap(0, 2, 3, 1, 0);
  vorlane::SetKeepAliveHandler(nullptr);
  image->SetCancel(0);
  EXPECT_EQ(Rows(*map), before);
  image->ApplyMorphologicalFilterToMap(5, 2, 3, 1, 0);  // outside the list
  image->ApplyMorphologicalFilterToMap(-2, 2, 3, 1, 0);
  EXPECT_EQ(Rows(*map), before);
  image->ApplyMorphologicalFilterToMap(-1, 2, 3, 0x80, 0);  // current map, "Background" label
  EXPECT_EQ(map->GetMapByte(2, 2), 1);
  EXPECT_TRUE(image->IsDirty());
}

TEST(MapProjection, CountsBytesComplementsAndRuns) {
  CImageMap map;
  map.Create(10, 2, L"p", MAP_BYTE_LABELS);
  Paint(map, "11.1......|1.1.1.....");
  long rows[2], cols[10];
  map.GetProjection(1, 0, 0, 10, 2, rows, cols, 1, 0x4);
  EXPECT_EQ((Longs{rows[0], rows[1], cols[0], cols[5]}), (Longs{7, 7, 0, 2}));
  map.GetProjection(1, 0, 0, 4, 1, rows, cols, 0, 0x8);
  EXPECT_EQ((Longs{rows[0], cols[0], cols[1], cols[3]}), (Longs{2, 1, 0, 1}));
  map.GetProjection(1, -3, 1, 5, 2, rows, cols, 0, 0x4);  // partly outside the map
  EXPECT_EQ((Longs{rows[0], rows[1], cols[3]}), (Longs{1, 0, 1}));
}

}  // namespace
