// Truncated, corrupted and hostile archives raise CArchiveException without leaking objects.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/archive.h"
#include "support/archive_test_classes.h"

using artest::CArBar;
using artest::CArNode;
using artest::CArVersioned;
using artest::Loader;
using artest::StoreBytes;

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
  std::vector<BYTE> out;
  for (int v : values) out.push_back(static_cast<BYTE>(v));
  return out;
}

// An archive of a node tree with links, strings of both lengths forms and a versionable
// object with a child.
std::vector<BYTE> RichArchive() {
  CArBar bar;
  bar.m_word = 7;
  bar.m_text = L"h\u00E9llo \U0001F600";
  CArNode root;
  root.m_value = 1;
  root.m_child = new CArNode;
  root.m_child->m_value = 2;
  root.m_child->m_link = &root;
  root.m_child->m_child = new CArNode;
  root.m_child->m_child->m_link = root.m_child;
  CArVersioned versioned;
  versioned.m_child = new CArVersioned;
  return StoreBytes([&](CArchive& ar) {
    ar << &bar << &root << CString(std::wstring(300, L'x')) << &versioned;
    ar << static_cast<double>(3.5) << &bar;
  });
}

// Loads what RichArchive writes and deletes it again; raises what the archive raises.
void LoadRich(const std::vector<BYTE>& bytes, int bufSize = 4096) {
  Loader load(bytes, bufSize);
  CArchive& ar = load.ar();
  CArBar* bar = nullptr;
  ar >> bar;
  std::unique_ptr<CArBar> barOwner(bar);
  std::unique_ptr<CObject> root(ar.ReadNewObject(RUNTIME_CLASS(CArNode)));
  CString text;
  ar >> text;
  std::unique_ptr<CObject> versioned(ar.ReadNewObject(RUNTIME_CLASS(CArVersioned)));
  double d = 0;
  ar >> d;
  ar.ReadReference(RUNTIME_CLASS(CArBar));
}

// Runs LoadRich; true when it succeeds, false on CArchiveException (anything else escapes).
bool LoadsOrRefuses(const std::vector<BYTE>& bytes, int bufSize = 4096) {
  try {
    LoadRich(bytes, bufSize);
    return true;
  } catch (const CArchiveException&) {
    return false;
  }
}

TEST(ArchiveHostileInput, RichArchiveLoads) {
  const int live = CArNode::s_live;
  EXPECT_TRUE(LoadsOrRefuses(RichArchive()));
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveHostileInput, EveryTruncationRaisesEndOfFileOrWorse) {
  const auto bytes = RichArchive();
  const int live = CArNode::s_live;
  for (size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<BYTE> prefix(bytes.begin(), bytes.begin() + static_cast<long>(n));
    EXPECT_FALSE(LoadsOrRefuses(prefix, 16)) << n;
    EXPECT_EQ(CArNode::s_live, live) << n;
  }
}

TEST(ArchiveHostileInput, BitFlipsNeverCrashOrLeak) {
  const auto bytes = RichArchive();
  const int live = CArNode::s_live;
  int refused = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      auto flipped = bytes;
      flipped[i] ^= static_cast<BYTE>(1 << bit);
      if (!LoadsOrRefuses(flipped)) ++refused;
      ASSERT_EQ(CArNode::s_live, live) << i << ":" << bit;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(ArchiveHostileInput, RandomBytesAfterAValidStart) {
  // A fixed linear congruential generator: the same inputs on every run.
  uint32_t state = 12345;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 24;
  };
  const auto start = StoreBytes([](CArchive& ar) {
    CArNode node;
    ar << &node;
  });
  const int live = CArNode::s_live;
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<BYTE> bytes(start.begin(), start.begin() + 13);  // the class record
    const size_t extra = next() % 40;
    for (size_t i = 0; i < extra; ++i) {
      // Mostly zeros, small indices and class-tag bytes, so that records get somewhere.
      const uint32_t r = next();
      bytes.push_back(static_cast<BYTE>(r < 160 ? 0 : r < 200 ? r % 4 : r < 230 ? 0x80 : r));
    }
    Loader load(bytes);
    try {
      for (int k = 0; k < 4; ++k) {
        std::unique_ptr<CObject> object(load.ar().ReadNewObject(RUNTIME_CLASS(CArNode)));
        if (object) ++loaded;
      }
    } catch (const CArchiveException&) {
    }
    ASSERT_EQ(CArNode::s_live, live) << round;
  }
  EXPECT_GT(loaded, 100);
}

TEST(ArchiveHostileInput, HugeStringLengthsAreRefusedBeforeAllocating) {
  for (const auto& bytes : {
           Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}),  // 32-bit
           Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),                          // 64-bit
           Bytes({0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x62, 0x00, 0x63}),  // 2.5 units
           Bytes({0xFF, 0xFD, 0xFF, 'a', 'b'}),                            // 8-bit
           Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80}),              // 8-bit, 2 GB
           Bytes({0xFF, 0xFE}),                                            // cut marker
       }) {
    Loader load(bytes);
    try {
      load.ar().ReadString();
      ADD_FAILURE() << "no exception";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
    }
  }
}

TEST(ArchiveHostileInput, DeepNestingIsRefusedWithoutOverflowingTheStack) {
  // A CArNode whose owned child is a CArNode, and so on, 100000 times.
  auto bytes = Bytes({0xFF, 0xFF, 1, 0, 7, 0, 'C', 'A', 'r', 'N', 'o', 'd', 'e'});
  for (int i = 0; i < 100000; ++i) {
    const auto level = Bytes({0, 0, 0, 0, 0x00, 0x00, 0x01, 0x80});  // value, no link, child
    bytes.insert(bytes.end(), level.begin(), level.end());
  }
  const int live = CArNode::s_live;
  Loader load(bytes);
  try {
    load.ar().ReadObject(RUNTIME_CLASS(CArNode));
    ADD_FAILURE() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::genericException);
  }
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveHostileInput, LinksMayNotCreateObjectsNobodyOwns) {
  // The node's link (a reference only) is a new CArBar record.
  auto bytes = Bytes({0xFF, 0xFF, 1, 0, 7, 0, 'C', 'A', 'r', 'N', 'o', 'd', 'e', 0, 0, 0, 0});
  const auto bar = Bytes({0xFF, 0xFF, 1, 0, 6, 0, 'C', 'A', 'r', 'B', 'a', 'r', 0, 0, 0});
  bytes.insert(bytes.end(), bar.begin(), bar.end());
  const int live = CArNode::s_live;
  Loader load(bytes);
  try {
    load.ar().ReadObject(RUNTIME_CLASS(CArNode));
    ADD_FAILURE() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
  }
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveHostileInput, RemainingForLoadCountsBufferedAndUnreadBytes) {
  std::vector<BYTE> bytes(10000, 0);
  Loader load(bytes, 64);
  EXPECT_EQ(load.ar().RemainingForLoad(), 10000u);
  BYTE b = 0;
  load.ar() >> b;
  EXPECT_EQ(load.ar().RemainingForLoad(), 9999u);
  std::vector<BYTE> block(5000);
  load.ar().Read(block.data(), 5000);
  EXPECT_EQ(load.ar().RemainingForLoad(), 4999u);
}

}  // namespace
