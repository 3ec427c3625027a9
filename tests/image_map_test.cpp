// Image maps: label modes, the predefined tables, labels, backups and the image's map list.
#include <gtest/gtest.h>

#include <cwchar>

#include "vorlane/vorlane.h"

namespace {

TEST(PredefinedMaps, StandardMarksBackgroundWithBitOne) {
  CGreyScaleImage image;
  image.Create(4, 3, 0, nullptr);
  CImageMap* map = image.GetImageMap(0);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->GetPTCount(), 8);
  EXPECT_EQ(map->GetPTByteLabel(L"Background"), 1);
  unsigned char r = 9, g = 9, b = 9;
  EXPECT_FALSE(map->GetMapColour(static_cast<unsigned char>(0), &r, &g, &b));
  EXPECT_EQ(r, 9);  // outputs untouched on FALSE
  EXPECT_FALSE(image.IsBackground(2, 1));
  EXPECT_TRUE(image.IsForeground(2, 1));
  map->MapByteAddAttribute(2, 1, 1);
  EXPECT_TRUE(image.IsBackground(2, 1));
  ASSERT_TRUE(map->GetMapColour(2, 1, &r, &g, &b));
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 192);
  EXPECT_EQ(map->GetNextFreeLabel(), 1);
}

TEST(PredefinedMaps, DorvaleUsesByteLabels) {
  CImageMap map;
  ASSERT_TRUE(map.Create(3, 2, static_cast<unsigned char>(MAP_DORVALE)));
  EXPECT_EQ(map.GetPTCount(), 256);
  EXPECT_EQ(map.GetPTByteLabel(L"Paper"), 1);
  EXPECT_EQ(map.GetPTByteLabel(L"Graphics"), 13);
  EXPECT_EQ(map.GetPTByteLabel(L"Background"), 0);
  EXPECT_EQ(map.GetPTByteLabel(L"paper"), 0);  // type names are case-sensitive
  EXPECT_EQ(map.GetNextFreeLabel(), 14);
  EXPECT_STREQ(map.GetPTName(static_cast<unsigned char>(8)), L"Text");
  EXPECT_EQ(map.GetPTBlue(L"Photo"), 255);
  EXPECT_EQ(map.GetPTVisible(L"Foreground"), 0);
  map.SetMapByte(1, 1, 8);
  EXPECT_TRUE(map.IsPixelType(1, 1, L"Text"));
  EXPECT_FALSE(map.IsPixelType(0, 0, L"Text"));
  EXPECT_TRUE(map.IsPixelType(0, 0, L"Foreground"));
  EXPECT_TRUE(map.IsPreDefinedMap(MAP_DORVALE));
  EXPECT_FALSE(map.IsPreDefinedMap(MAP_STANDARD));
}

TEST(BitLabels, LowestVisibleSetBitGivesColourAndName) {
  CImageMap map;
  map.Create(1, 1, L"custom", MAP_BIT_LABELS);
  EXPECT_EQ(map.GetPTName(1), std::wstring(L""));
  map.SetPixelType(1, L"one", 10, 20, 30, 0);
  map.SetPixelType(2, L"two", 40, 50, 60, 1);
  unsigned char r = 0, g = 0, b = 0;
  ASSERT_TRUE(map.GetMapColour(static_cast<unsigned char>(0x06), &r, &g, &b));
  EXPECT_EQ(r, 40);
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
  EXPECT_FALSE(bits.SetPixelType(8, L"x", 1, 2, 3, 1));
  EXPECT_FALSE(bits.SetPixelType(-1, L"x", 1, 2, 3, 1));
  EXPECT_FALSE(bytes.SetPixelType(256, L"x", 1, 2, 3, 1));
  EXPECT_TRUE(bytes.SetPixelType(255, L"x", 1, 2, 3, 1));
  EXPECT_FALSE(none.SetPixelType(0, L"x", 1, 2, 3, 1));
  EXPECT_EQ(none.GetPTCount(), 0);
  EXPECT_EQ(none.GetPTName(0), nullptr);
  EXPECT_EQ(none.GetPTByteLabel(L"x"), 0);
  EXPECT_EQ(none.GetNextFreeLabel(), -1);
  EXPECT_FALSE(none.IsPixelType(0, 0, static_cast<unsigned char>(0)));
  EXPECT_EQ(bits.GetPTRed(99), 0);
  EXPECT_EQ(bits.GetPTIndex(nullptr), -1);
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
  EXPECT_EQ(idx[0], 1);
  EXPECT_EQ(idx[1], 2);
  EXPECT_STREQ(map.GetPTName(1), L"*Allocated*");
  EXPECT_STREQ(map.GetPTName(2), L"*Allocated*");
  EXPECT_EQ(map.GetNextFreeLabel(), 3);
  EXPECT_FALSE(map.AllocateLabels(0, idx, nullptr));
  EXPECT_FALSE(map.AllocateLabels(1, nullptr, nullptr));
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
  EXPECT_EQ(map.GetMapByte(2, 1), 0);
  map.SetMapByte(2, 1, 0x0F);
  map.MapByteRemoveAttribute(2, 1, 0x05);
  EXPECT_EQ(map.GetMapByte(2, 1), 0x0A);
  map.MapByteAddAttribute(2, 1, 0x01);
  EXPECT_EQ(map.GetMapByte(2, 1), 0x0B);
  // Rows follow each other with no gap, top row first.
  EXPECT_EQ(map.GetLine(1) - map.GetLine(0), 3);
}

TEST(MapBackups, RestoreSwapsAndRestoringTwiceReturns) {
  CImageMap map;
  map.Create(4, 4, L"m", MAP_BYTE_LABELS);
  map.SetMapByte(1, 1, 3);
  EXPECT_EQ(map.RestoreBackup(), nullptr);
  ASSERT_NE(map.CreateBackup(), nullptr);
  map.ClearMap(5);
  EXPECT_NE(map.RestoreBackup(), nullptr);
  EXPECT_EQ(map.GetMapByte(1, 1), 3);
  EXPECT_EQ(map.GetMapByte(0, 0), 0);
  map.RestoreBackup();
  EXPECT_EQ(map.GetMapByte(1, 1), 5);
  CImageMap* first = map.GetBackup();
  map.CreateBackup();  // replaces the old backup
  EXPECT_NE(map.GetBackup(), nullptr);
  (void)first;
  map.DiscardBackup();
  EXPECT_EQ(map.GetBackup(), nullptr);
}

TEST(ImageMapList, AddFindAndRefuseDuplicates) {
  CGreyScaleImage image;
  image.Create(5, 4, 0, nullptr);
  EXPECT_EQ(image.AddImageMap(static_cast<unsigned char>(MAP_STANDARD)), nullptr);
  CImageMap* dorvale = image.SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  ASSERT_NE(dorvale, nullptr);
  EXPECT_EQ(image.GetImageMapIndex(static_cast<unsigned char>(MAP_DORVALE)), 1);
  EXPECT_EQ(image.SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE)), dorvale);
  EXPECT_EQ(dorvale->GetWidth(), 5);
  EXPECT_EQ(dorvale->GetHeight(), 4);
  EXPECT_EQ(dorvale->GetImage(), &image);

  CImageMap* custom = image.AddImageMap(L"Regions", MAP_BYTE_LABELS);
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(image.AddImageMap(L"Regions", MAP_BIT_LABELS), nullptr);
  EXPECT_EQ(image.GetImageMap(L"Regions"), custom);
  EXPECT_EQ(image.GetImageMapIndex(L"Regions"), 2);
  EXPECT_EQ(image.GetImageMapIndex(L"regions"), -1);  // map names compare with case
  EXPECT_EQ(image.SafeGetImageMap(L"Regions", MAP_BIT_LABELS), custom);
  EXPECT_EQ(image.GetImageMap(3), nullptr);
  EXPECT_EQ(image.GetImageMap(-1), nullptr);
  EXPECT_EQ(image.GetImageMap(static_cast<const wchar_t*>(nullptr)), nullptr);
  EXPECT_EQ(image.GetImageMapCount(), 3);

  // Ids other than the two predefined ones add an unnamed, table-less map every time.
  CImageMap* odd1 = image.AddImageMap(static_cast<unsigned char>(7));
  CImageMap* odd2 = image.AddImageMap(static_cast<unsigned char>(7));
  ASSERT_NE(odd1, nullptr);
  ASSERT_NE(odd2, nullptr);
  EXPECT_NE(odd1, odd2);
  EXPECT_EQ(odd1->GetPTCount(), 0);
  EXPECT_EQ(image.GetImageMapCount(), 5);
}

}  // namespace
