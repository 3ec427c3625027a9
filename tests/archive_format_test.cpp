// Byte layout of archives: scalars, strings, object framing, big tags and schemas.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/archive.h"
#include "support/archive_test_classes.h"

using artest::CArBar;
using artest::CArFailing;
using artest::CArNode;
using artest::CArTrivial;
using artest::CArVersioned;
using artest::CFoo;
using artest::Loader;
using artest::StoreBytes;

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
  std::vector<BYTE> out;
  for (int v : values) out.push_back(static_cast<BYTE>(v));
  return out;
}

void Append(std::vector<BYTE>& out, const std::vector<BYTE>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

void AppendText(std::vector<BYTE>& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}

// Loads the bytes as one object of the requested class and returns the exception cause, or
// -1 when loading succeeds.
int LoadCause(const std::vector<BYTE>& bytes, const CRuntimeClass* requested) {
  Loader load(bytes);
  try {
    std::unique_ptr<CObject> object(load.ar().ReadObject(requested));
  } catch (const CArchiveException& e) {
    return e.m_cause;
  }
  return -1;
}

// The new-class record of a class of that name and schema.
std::vector<BYTE> NewClass(const char* name, int schema) {
  auto out =
      Bytes({0xFF, 0xFF, schema & 0xFF, schema >> 8, static_cast<int>(std::strlen(name)), 0});
  AppendText(out, name);
  return out;
}

TEST(ArchiveScalars, AreLittleEndianAndRoundTrip) {
  const auto bytes = StoreBytes([](CArchive& ar) {
    ar << static_cast<BYTE>(0x12) << static_cast<WORD>(0x3456) << static_cast<short>(-2)
       << static_cast<LONG>(-3) << static_cast<DWORD>(0x89ABCDEFu) << 1.5f << -2.25 << 'x'
       << L'\u00E9' << true << 7 << 8u;
  });
  EXPECT_EQ(bytes,
            Bytes({0x12, 0x56, 0x34, 0xFE, 0xFF, 0xFD, 0xFF, 0xFF, 0xFF, 0xEF, 0xCD, 0xAB, 0x89,
                   0x00, 0x00, 0xC0, 0x3F, 0,    0,    0,    0,    0,    0,    0x02, 0xC0, 'x',
                   0xE9, 0x00, 0x01, 7,    0,    0,    0,    8,    0,    0,    0}));

  Loader load(bytes);
  BYTE b = 0;
  WORD w = 0;
  short s = 0;
  LONG l = 0;
  DWORD d = 0;
  float f = 0;
  double g = 0;
  char c = 0;
  wchar_t wc = 0;
  bool flag = false;
  int i = 0;
  unsigned int u = 0;
  load.ar() >> b >> w >> s >> l >> d >> f >> g >> c >> wc >> flag >> i >> u;
  EXPECT_EQ(b, 0x12);
  EXPECT_EQ(w, 0x3456);
  EXPECT_EQ(s, -2);
  EXPECT_EQ(l, -3);
  EXPECT_EQ(d, 0x89ABCDEFu);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(g, -2.25);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(wc, L'\u00E9');
  EXPECT_TRUE(flag);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(u, 8u);
  EXPECT_EQ(load.ar().RemainingForLoad(), 0u);
}

TEST(ArchiveScalars, EdgeValues) {
  // A wide character outside the BMP does not fit 16 bits; any non-zero byte loads as true.
  EXPECT_EQ(StoreBytes([](CArchive& ar) { ar << static_cast<wchar_t>(0x1F600); }),
            Bytes({0xFD, 0xFF}));
  Loader load(Bytes({0x02}));
  bool flag = false;
  load.ar() >> flag;
  EXPECT_TRUE(flag);
}

TEST(ArchiveScalars, RectAndPoint) {
  const RECT r{-1, 2, 300, 4};
  const POINT p{5, -6};
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << r << p; });
  EXPECT_EQ(bytes, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0x2C, 1,    0,    0,
                          4,    0,    0,    0,    5, 0, 0, 0, 0xFA, 0xFF, 0xFF, 0xFF}));
  Loader load(bytes);
  RECT r2{};
  POINT p2{};
  load.ar() >> r2 >> p2;
  EXPECT_EQ(std::memcmp(&r, &r2, sizeof r), 0);
  EXPECT_EQ(p2.x, 5);
  EXPECT_EQ(p2.y, -6);
}

TEST(ArchiveBuffering, TinyBufferAndLargeBlocks) {
  // Scalars and blocks straddle the buffer end; large blocks bypass it.
  std::vector<BYTE> block(10000);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<BYTE>(i * 7);
  const auto bytes = StoreBytes(
      [&](CArchive& ar) {
        for (int i = 0; i < 100; ++i) ar << static_cast<double>(i) << static_cast<BYTE>(i);
        ar.Write(block.data(), static_cast<UINT>(block.size()));
        ar << static_cast<DWORD>(0xDEADBEEF);
      },
      16);
  ASSERT_EQ(bytes.size(), 900u + block.size() + 4u);
  Loader load(bytes, 16);
  for (int i = 0; i < 100; ++i) {
    double v = 0;
    BYTE b = 0;
    load.ar() >> v >> b;
    ASSERT_EQ(v, i);
    ASSERT_EQ(b, i);
  }
  std::vector<BYTE> back(block.size());
  EXPECT_EQ(load.ar().Read(back.data(), static_cast<UINT>(back.size())), back.size());
  EXPECT_EQ(back, block);
  DWORD tail = 0;
  load.ar() >> tail;
  EXPECT_EQ(tail, 0xDEADBEEFu);
  // Read reports a short count at the end; typed extraction raises endOfFile.
  EXPECT_EQ(load.ar().Read(back.data(), 4), 0u);
  try {
    load.ar() >> tail;
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
  }
}

TEST(ArchiveDirection, WrongDirectionRaises) {
  CMemFile file;
  CArchive store(&file, CArchive::store);
  EXPECT_TRUE(store.IsStoring());
  BYTE b = 0;
  try {
    store >> b;
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::writeOnly);
  }
  EXPECT_THROW(store.ReadObject(nullptr), CArchiveException);

  Loader load(Bytes({1, 2, 3}));
  EXPECT_TRUE(load.ar().IsLoading());
  try {
    load.ar() << b;
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::readOnly);
  }
  EXPECT_THROW(load.ar().WriteObject(nullptr), CArchiveException);
  EXPECT_THROW(load.ar() << CString(L"x"), CArchiveException);
}

TEST(ArchiveLifetime, DestructorFlushesUnlessAbortedOrUnwinding) {
  CMemFile file;
  { CArchive(&file, CArchive::store) << static_cast<DWORD>(1); }
  EXPECT_EQ(file.GetLength(), 4u);

  CMemFile aborted;
  {
    CArchive ar(&aborted, CArchive::store);
    ar << static_cast<DWORD>(1);
    ar.Abort();
  }
  EXPECT_EQ(aborted.GetLength(), 0u);

  CMemFile unwound;
  try {
    CArchive ar(&unwound, CArchive::store);
    ar << static_cast<DWORD>(1);
    throw std::runtime_error("fails half-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(unwound.GetLength(), 0u);

  CMemFile noFlush;
  { CArchive(&noFlush, CArchive::store | CArchive::bNoFlushOnDelete) << static_cast<DWORD>(1); }
  EXPECT_EQ(noFlush.GetLength(), 0u);

  // After Close the archive is detached; the file stays usable.
  CMemFile closed;
  CArchive ar(&closed, CArchive::store);
  ar << static_cast<WORD>(9);
  ar.Close();
  EXPECT_EQ(closed.GetLength(), 2u);
  EXPECT_THROW(ar << static_cast<WORD>(9), CArchiveException);
}

TEST(ArchiveLifetime, LoadingFlushGivesBackReadAhead) {
  std::vector<BYTE> data = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
  CMemFile file(data.data(), static_cast<UINT>(data.size()));
  {
    CArchive ar(&file, CArchive::load);
    WORD w = 0;
    ar >> w;
    ar.Close();
  }
  EXPECT_EQ(file.GetPosition(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Strings

TEST(ArchiveStrings, ShortStringsMatchTheDocumentedBytes) {
  EXPECT_EQ(StoreBytes([](CArchive& ar) { ar << CString(L"abc"); }),
            Bytes({0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00}));
  EXPECT_EQ(StoreBytes([](CArchive& ar) { ar << CString(L""); }), Bytes({0xFF, 0xFE, 0xFF, 0x00}));
}

TEST(ArchiveStrings, LengthPrefixForms) {
  struct Case {
    size_t length;
    std::vector<BYTE> prefix;
  };
  const Case cases[] = {
      {254, Bytes({0xFF, 0xFE, 0xFF, 0xFE})},
      {255, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
      {0xFFFD, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF})},
      {0xFFFE, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    std::wstring text(c.length, L'q');
    text[0] = L'\u20AC';
    const auto bytes = StoreBytes([&](CArchive& ar) { ar << CString(text); });
    ASSERT_EQ(bytes.size(), c.prefix.size() + 2 * c.length) << c.length;
    EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), bytes.begin())) << c.length;
    EXPECT_EQ(bytes[c.prefix.size()], 0xAC);
    EXPECT_EQ(bytes[c.prefix.size() + 1], 0x20);
    Loader load(bytes);
    CString back;
    load.ar() >> back;
    EXPECT_TRUE(back.str() == text) << c.length;
  }
}

TEST(ArchiveStrings, SurrogatePairs) {
  const CString text(L"a\U0001F600\U0010FFFF");
  const auto bytes = StoreBytes([&](CArchive& ar) { ar.WriteString(text); });
  EXPECT_EQ(bytes, Bytes({0xFF, 0xFE, 0xFF, 0x05, 0x61, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0xFF, 0xDB,
                          0xFF, 0xDF}));
  Loader load(bytes);
  EXPECT_TRUE(load.ar().ReadString() == text);
}

TEST(ArchiveStrings, UnpairedSurrogatesLoadAsReplacementCharacter) {
  // A lone high surrogate, a lone low surrogate, and a high surrogate at the end.
  Loader load(Bytes({0xFF, 0xFE, 0xFF, 0x04, 0x00, 0xD8, 0x41, 0x00, 0x00, 0xDC, 0x00, 0xD8}));
  CString s;
  load.ar() >> s;
  EXPECT_TRUE(s.str() == std::wstring(L"\uFFFDA\uFFFD\uFFFD"));
}

TEST(ArchiveStrings, EightBitStringsLoadAsLatin1) {
  auto bytes = Bytes({0x03, 'a', 0xE9, 'c', 0x00});
  // An 8-bit string of 300 characters: FF, then a 16-bit length.
  Append(bytes, Bytes({0xFF, 0x2C, 0x01}));
  bytes.insert(bytes.end(), 300, 'z');
  // FF, FFFF, then a 32-bit length.
  Append(bytes, Bytes({0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 'o', 'k'}));
  Loader load(bytes);
  CString a, empty, b, c;
  load.ar() >> a >> empty >> b >> c;
  EXPECT_TRUE(a == L"a\u00E9c");
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(b.str() == std::wstring(300, L'z'));
  EXPECT_TRUE(c == L"ok");
}

// ---------------------------------------------------------------------------------------------
// Object framing

TEST(ArchiveObjects, DocumentedNewClassRecord) {
  CFoo foo(0x01020304);
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << &foo; });
  EXPECT_EQ(bytes, Bytes({0xFF, 0xFF, 0x02, 0x00, 0x04, 0x00, 0x43, 0x46, 0x6F, 0x6F, 0x04, 0x03,
                          0x02, 0x01}));
}

TEST(ArchiveObjects, SharedCounterReferencesAndNull) {
  CFoo foo1(1);
  CFoo foo2(2);
  CArBar bar;
  bar.m_word = 0x0102;
  bar.m_text = L"hi";
  const auto bytes = StoreBytes([&](CArchive& ar) {
    ar << &foo1 << &foo1 << &foo2 << &bar << static_cast<const CObject*>(nullptr) << &bar;
  });
  // foo1: class 1, object 2; foo2: object 3; CArBar: class 4, object 5.
  auto expected = NewClass("CFoo", 2);
  Append(expected, Bytes({1, 0, 0, 0}));
  Append(expected, Bytes({0x02, 0x00}));
  Append(expected, Bytes({0x01, 0x80, 2, 0, 0, 0}));
  Append(expected, NewClass("CArBar", 1));
  Append(expected, Bytes({0x02, 0x01, 0xFF, 0xFE, 0xFF, 0x02, 'h', 0, 'i', 0}));
  Append(expected, Bytes({0x00, 0x00, 0x05, 0x00}));
  EXPECT_EQ(bytes, expected);

  Loader load(bytes);
  CArchive& ar = load.ar();
  std::unique_ptr<CObject> a(ar.ReadObject(RUNTIME_CLASS(CFoo)));
  CObject* again = ar.ReadObject(RUNTIME_CLASS(CObject));
  std::unique_ptr<CObject> b(ar.ReadObject(RUNTIME_CLASS(CFoo)));
  CArBar* barBack = nullptr;
  ar >> barBack;
  std::unique_ptr<CArBar> barOwner(barBack);
  CObject* null = ar.ReadObject(RUNTIME_CLASS(CFoo));
  CObject* barAgain = ar.ReadObject(RUNTIME_CLASS(CArBar));
  EXPECT_EQ(again, a.get());
  EXPECT_EQ(static_cast<CFoo*>(a.get())->m_value, 1);
  EXPECT_EQ(static_cast<CFoo*>(b.get())->m_value, 2);
  ASSERT_NE(barBack, nullptr);
  EXPECT_EQ(barBack->m_word, 0x0102);
  EXPECT_TRUE(barBack->m_text == L"hi");
  EXPECT_EQ(null, nullptr);
  EXPECT_EQ(barAgain, barBack);
}

TEST(ArchiveObjects, BackReferenceToTheObjectBeingLoaded) {
  auto root = std::make_unique<CArNode>();
  root->m_value = 1;
  root->m_child = new CArNode;
  root->m_child->m_value = 2;
  root->m_child->m_link = root.get();
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << root.get(); });
  Loader load(bytes);
  std::unique_ptr<CObject> back(load.ar().ReadObject(RUNTIME_CLASS(CArNode)));
  auto* node = static_cast<CArNode*>(back.get());
  ASSERT_NE(node->m_child, nullptr);
  EXPECT_EQ(node->m_child->m_value, 2);
  EXPECT_EQ(node->m_child->m_link, node);
}

TEST(ArchiveObjects, BigTagsBeyond7FFE) {
  // CArTrivial is class 1 with objects 2..0x8000; CFoo is class 0x8001 with object 0x8002.
  std::vector<std::unique_ptr<CArTrivial>> trivial(0x7FFF);
  for (auto& t : trivial) t = std::make_unique<CArTrivial>();
  CFoo foo1(1);
  CFoo foo2(2);
  const auto bytes = StoreBytes([&](CArchive& ar) {
    for (auto& t : trivial) ar << t.get();
    ar << &foo1 << &foo2 << trivial[0x7FFC].get() << trivial.back().get() << &foo1;
  });
  std::vector<BYTE> tail = NewClass("CFoo", 2);
  Append(tail, Bytes({1, 0, 0, 0}));
  Append(tail, Bytes({0xFF, 0x7F, 0x01, 0x80, 0x00, 0x80, 2, 0, 0, 0}));  // big class reference
  Append(tail, Bytes({0xFE, 0x7F}));                                      // last short object tag
  Append(tail, Bytes({0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00}));              // big object reference
  Append(tail, Bytes({0xFF, 0x7F, 0x02, 0x80, 0x00, 0x00}));
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size())));

  Loader load(bytes);
  std::vector<std::unique_ptr<CObject>> owned;
  for (size_t i = 0; i < trivial.size(); ++i) {
    owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CArTrivial)));
  }
  owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_EQ(static_cast<CFoo*>(owned.back().get())->m_value, 2);
  EXPECT_EQ(load.ar().ReadObject(nullptr), owned[0x7FFC].get());
  EXPECT_EQ(load.ar().ReadObject(nullptr), owned[0x7FFE].get());
  EXPECT_EQ(load.ar().ReadObject(nullptr), owned[0x7FFF].get());
}

TEST(ArchiveObjects, ObjectWrittenDuringItsOwnSerializeIsAReference) {
  CArNode node;
  node.m_link = &node;
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << &node; });
  auto expected = NewClass("CArNode", 1);
  Append(expected, Bytes({0, 0, 0, 0, 0x02, 0x00, 0x00, 0x00}));
  EXPECT_EQ(bytes, expected);
}

// ---------------------------------------------------------------------------------------------
// Schemas

TEST(ArchiveSchemas, VersionableClassHandsTheFileSchemaOnce) {
  CArVersioned outer;
  outer.m_child = new CArVersioned;
  CArVersioned second;
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << &outer << &second; });
  // Storing: no schema to give; the flag is dropped from the schema word.
  EXPECT_EQ(outer.m_firstSchema, static_cast<UINT>(-1));
  EXPECT_EQ(outer.m_child->m_firstSchema, static_cast<UINT>(-1));
  auto prefix = NewClass("CArVersioned", 3);
  ASSERT_GT(bytes.size(), prefix.size());
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), bytes.begin()));

  // An older file schema (1) loads: every object of the class gets it once, the outer object
  // still after its child took its own.
  auto old = bytes;
  old[2] = 1;
  Loader load(old);
  std::unique_ptr<CObject> a(load.ar().ReadObject(RUNTIME_CLASS(CArVersioned)));
  std::unique_ptr<CObject> b(load.ar().ReadObject(RUNTIME_CLASS(CArVersioned)));
  auto* va = static_cast<CArVersioned*>(a.get());
  auto* vb = static_cast<CArVersioned*>(b.get());
  ASSERT_NE(va->m_child, nullptr);
  EXPECT_EQ(va->m_firstSchema, 1u);
  EXPECT_EQ(va->m_secondSchema, static_cast<UINT>(-1));
  EXPECT_EQ(va->m_child->m_firstSchema, 1u);
  EXPECT_EQ(va->m_child->m_secondSchema, static_cast<UINT>(-1));
  EXPECT_EQ(vb->m_firstSchema, 1u);
  EXPECT_EQ(load.ar().GetObjectSchema(), static_cast<UINT>(-1));
}

TEST(ArchiveSchemas, SerializeCalledDirectlyHasNoSchema) {
  Loader load(Bytes({0}));
  CArVersioned v;
  v.Serialize(load.ar());
  EXPECT_EQ(v.m_firstSchema, static_cast<UINT>(-1));
}

TEST(ArchiveSchemas, MismatchOfFixedSchemaIsBadSchema) {
  auto bytes = NewClass("CFoo", 3);
  Append(bytes, Bytes({1, 0, 0, 0}));
  EXPECT_EQ(LoadCause(bytes, RUNTIME_CLASS(CFoo)), CArchiveException::badSchema);
  bytes[2] = 2;
  EXPECT_EQ(LoadCause(bytes, RUNTIME_CLASS(CFoo)), -1);
}

// ---------------------------------------------------------------------------------------------
// Refused classes and references

TEST(ArchiveObjects, RefusedClasses) {
  const auto withValue = [](std::vector<BYTE> record) {
    Append(record, Bytes({1, 0, 0, 0}));
    return record;
  };
  // Unknown, wrong case, not creatable, not serializable.
  EXPECT_EQ(LoadCause(withValue(NewClass("CNoSuchClass", 1)), nullptr),
            CArchiveException::badClass);
  EXPECT_EQ(LoadCause(withValue(NewClass("cfoo", 2)), nullptr), CArchiveException::badClass);
  EXPECT_EQ(LoadCause(withValue(NewClass("CArAbstract", 1)), nullptr), CArchiveException::badClass);
  EXPECT_EQ(LoadCause(withValue(NewClass("CArPlain", 0xFFFF)), nullptr),
            CArchiveException::badClass);
  // A name of 64 characters is refused, one with an embedded NUL too.
  std::string longName = "CFoo" + std::string(60, 'x');
  EXPECT_EQ(LoadCause(withValue(NewClass(longName.c_str(), 2)), nullptr),
            CArchiveException::badClass);
  auto nul = Bytes({0xFF, 0xFF, 2, 0, 5, 0, 'C', 'F', 'o', 'o', 0});
  EXPECT_EQ(LoadCause(withValue(nul), nullptr), CArchiveException::badClass);
  // Not of the requested class.
  EXPECT_EQ(LoadCause(withValue(NewClass("CFoo", 2)), RUNTIME_CLASS(CArBar)),
            CArchiveException::badClass);
}

TEST(ArchiveObjects, StoringRefusesClassesThatCannotLoad) {
  artest::CArPlain plain;
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  try {
    ar << &plain;
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::badClass);
  }
}

TEST(ArchiveObjects, BadReferences) {
  auto foo = NewClass("CFoo", 2);
  Append(foo, Bytes({1, 0, 0, 0}));
  const auto then = [&](std::initializer_list<int> more) {
    auto bytes = foo;
    Append(bytes, Bytes(more));
    return bytes;
  };
  for (const auto& bytes : {then({0x03, 0x00}),                 // object beyond those assigned
                            then({0x01, 0x00}),                 // object tag on a class slot
                            then({0x02, 0x80}),                 // class tag on an object slot
                            then({0x00, 0x80}),                 // class index 0
                            then({0x05, 0x80}),                 // class beyond those assigned
                            then({0xFF, 0x7F, 0x03, 0, 0, 0}),  // big object tag beyond
                            then({0xFF, 0x7F, 0x02, 0, 0, 0x80})}) {  // big class tag on object
    Loader load(bytes);
    std::unique_ptr<CObject> first(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
    try {
      load.ar().ReadObject(nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
    }
  }
  // A reference to an object of the wrong class.
  Loader load(then({0x02, 0x00}));
  std::unique_ptr<CObject> first(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_THROW(load.ar().ReadObject(RUNTIME_CLASS(CArBar)), CArchiveException);
}

TEST(ArchiveObjects, OwnedReadRefusesReferences) {
  // A node whose owned child is a reference to itself would own itself.
  auto bytes = NewClass("CArNode", 1);
  Append(bytes, Bytes({0, 0, 0, 0, 0x00, 0x00, 0x02, 0x00}));
  const int live = CArNode::s_live;
  EXPECT_EQ(LoadCause(bytes, RUNTIME_CLASS(CArNode)), CArchiveException::badIndex);
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveObjects, FailedSerializeDeletesTheObjectAndKillsItsSlots) {
  CArFailing failing;
  failing.m_child = new CArNode;
  failing.m_flag = 1;
  CFoo foo(5);
  const auto bytes = StoreBytes([&](CArchive& ar) {
    ar << &failing << &foo << static_cast<WORD>(0x0002) << static_cast<WORD>(0x0004)
       << static_cast<WORD>(0x8003) << static_cast<LONG>(0) << static_cast<WORD>(0)
       << static_cast<WORD>(0);
  });
  const int liveNodes = CArNode::s_live;
  const int liveFailing = CArFailing::s_live;
  Loader load(bytes);
  // Index 1 CArFailing class, 2 the failing object, 3 CArNode class, 4 its child.
  EXPECT_THROW(load.ar().ReadObject(RUNTIME_CLASS(CArFailing)), CArchiveException);
  EXPECT_EQ(CArNode::s_live, liveNodes);
  EXPECT_EQ(CArFailing::s_live, liveFailing);
  // The archive goes on: later objects load, references to deleted objects are refused and
  // classes stay usable.
  std::unique_ptr<CObject> fooBack(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_EQ(static_cast<CFoo*>(fooBack.get())->m_value, 5);
  for (int i = 0; i < 2; ++i) {
    try {
      load.ar().ReadObject(nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
    }
  }
  std::unique_ptr<CObject> node(load.ar().ReadObject(RUNTIME_CLASS(CArNode)));
  EXPECT_NE(node, nullptr);
}

TEST(ArchiveObjects, NestingDepthIsBounded) {
  // Storing a chain deeper than the limit is refused, so nothing unloadable is written.
  auto deep = std::make_unique<CArNode>();
  CArNode* tip = deep.get();
  for (int i = 0; i < CArchive::kMaxObjectDepth; ++i) tip = tip->m_child = new CArNode;
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_THROW(ar << deep.get(), CArchiveException);
  ar.Abort();

  // One level less stores and loads.
  auto fits = std::make_unique<CArNode>();
  tip = fits.get();
  for (int i = 1; i < CArchive::kMaxObjectDepth; ++i) tip = tip->m_child = new CArNode;
  const auto bytes = StoreBytes([&](CArchive& a) { a << fits.get(); });
  Loader load(bytes);
  std::unique_ptr<CObject> back(load.ar().ReadObject(RUNTIME_CLASS(CArNode)));
  EXPECT_NE(back, nullptr);
}

}  // namespace
