// Dilation and erosion of map labels in both layouts, the cancel that restores the map, the
// image's form of the filter, and label projections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sample_images.h"

namespace {

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
