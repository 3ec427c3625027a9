// UTF-8 conversions of the platform layer: encoding with its replacement rule, decoding with
// one U+FFFD per byte that begins no well-formed sequence, and the file names built on them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "imageclasses/distribution.h"
#include "platform/archive.h"
#include "platform/utf8.h"
#include "support/trace_lines.h"

namespace {

const std::wstring kFffd(1, L'\uFFFD');

std::wstring Wide(std::initializer_list<unsigned> codes) {
  std::wstring s;
  for (unsigned c : codes) s.push_back(static_cast<wchar_t>(c));
  return s;
}

TEST(Utf8Encoding, ScalarsEncodeAndOtherValuesBecomeReplacements) {
  const struct {
    std::wstring wide;
    std::string utf8;
    bool exact;
  } cases[] = {
      {L"", "", true},
      {L"page 1.tif", "page 1.tif", true},
      {Wide({0x7F, 0x80, 0x7FF, 0x800}), "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80", true},
      {Wide({0xD7FF, 0xE000, 0xFFFF}), "\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf", true},
      {Wide({0x10000, 0x10FFFF}), "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", true},
      {Wide({'a', 0xD800, 'b'}),
       "a\xef\xbf\xbd"
       "b",
       false},                                                      // lone high surrogate
      {Wide({0xDFFF}), "\xef\xbf\xbd", false},                      // lone low surrogate
      {Wide({0xD83D, 0xDE00}), "\xef\xbf\xbd\xef\xbf\xbd", false},  // a UTF-16 pair: two
      {Wide({0x110000, 'x'}), "\xef\xbf\xbdx", false},
  };
  for (const auto& c : cases) {
    std::string out = "left over";
    EXPECT_EQ(vorlane::WideToUtf8(c.wide.c_str(), out), c.exact) << c.utf8;
    EXPECT_EQ(out, c.utf8);
    EXPECT_EQ(vorlane::Utf8(c.wide.c_str()), c.utf8);
  }
}

TEST(Utf8Encoding, NullGivesEmptyAndFalse) {
  std::string out = "left over";
  EXPECT_FALSE(vorlane::WideToUtf8(nullptr, out));
  EXPECT_EQ(out, "");
  EXPECT_EQ(vorlane::Utf8(nullptr), "");
}

TEST(Utf8Decoding, EveryByteThatBeginsNoWellFormedSequenceGivesOneReplacement) {
  const std::wstring r = kFffd;
  const struct {
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},  // NUL is a character
      {"\x80", r},                                         // stray continuation byte
      {"a\xbf\x80z", L"a" + r + r + L"z"},
      {"\xc3", r},          // truncated at the end
      {"\xe2\x82", r + r},  // truncated at the end
      {"\xe2\x82"
       "A",
       r + r + L"A"},                                       // cut short by an ASCII byte
      {"\xf0\x9f\x98", r + r + r},                          //
      {"\xed\xa0\x80", r + r + r},                          // encoded high surrogate
      {"\xed\xbf\xbf", r + r + r},                          // encoded low surrogate
      {"\xed\xa0\xbd\xed\xb8\x80", r + r + r + r + r + r},  // an encoded UTF-16 pair
      {"\xc0\x80", r + r},                                  // overlong NUL
      {"\xc1\xbf", r + r},                                  // overlong U+007F
      {"\xe0\x9f\xbf", r + r + r},                          // overlong U+07FF
      {"\xf0\x8f\xbf\xbf", r + r + r + r},                  // overlong U+FFFF
      {"\xf4\x90\x80\x80", r + r + r + r},                  // beyond U+10FFFF
      {"\xf5\x80\x80\x80", r + r + r + r},
      {"\xf8\xfe\xff", r + r + r},
      {"\xc3\xa4\xed\xa0\x80\xc3\xa4", L"\u00e4" + r + r + r + L"\u00e4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vorlane::WideFromUtf8(c.utf8), c.wide) << "bytes: " << c.utf8.size();
  }
}

TEST(Utf8RoundTrip, EveryScalarSurvivesBothWays) {
  // All scalar values, in strings of a few hundred characters each.
  std::wstring chunk;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    chunk.push_back(static_cast<wchar_t>(c));
    if (chunk.size() == 500 || c == 0x10FFFF) {
      std::string utf8;
      ASSERT_TRUE(vorlane::WideToUtf8(chunk.c_str(), utf8));
      ASSERT_EQ(vorlane::WideFromUtf8(utf8), chunk) << "chunk ending at " << unsigned(c);
      ASSERT_EQ(vorlane::Utf8(vorlane::WideFromUtf8(utf8).c_str()), utf8);
      chunk.clear();
    }
  }
}

TEST(Utf8FileNames, PathsWithValuesThatAreNoCharactersAreRefused) {
  const std::string plain = ::testing::TempDir() + "utf8-name";
  std::wstring path(plain.begin(), plain.end());
  path += Wide({0xD800});
  path += L".csv";
  // The trace file of a distribution is refused like any other file name.
  TraceCapture trace;
  CDistribution<int> d;
  const int values[] = {1, 2, 1};
  d.Create(values, 3);
  d.TracePointsToFile(path.c_str(), 1);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"Could Not Open File\n"});
  EXPECT_EQ(std::fopen((plain + "\xed\xa0\x80.csv").c_str(), "r"), nullptr);
  EXPECT_EQ(std::fopen((plain + "\xef\xbf\xbd.csv").c_str(), "r"), nullptr);
  CFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite, &error));
  EXPECT_EQ(error.m_cause, CFileException::badPath);
}

}  // namespace
