// Archives and the files under them: byte layout of scalars, strings, object framing, big tags
// and schemas; truncated, corrupted and hostile archives; CFile on disk (UTF-8 paths, open
// modes, error causes) and CMemFile (growth, attach, detach).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/archive.h"
#include "support/archive_test_classes.h"

using namespace artest;

namespace {

// Loads the bytes as one object of the requested class; the cause as Cause gives it.
int LoadCause(const std::vector<BYTE>& bytes, const CRuntimeClass* requested) {
  Loader load(bytes);
  return Cause([&] { std::unique_ptr<CObject> object(load.ar().ReadObject(requested)); });
}

// The new-class record of a class of that name and schema.
std::vector<BYTE> NewClass(const std::string& name, int schema) {
  return Cat({{0xFF, 0xFF, BYTE(schema), BYTE(schema >> 8), BYTE(name.size()), 0},
              {name.begin(), name.end()}});
}

TEST(ArchiveScalars, AreLittleEndianAndRoundTrip) {
  const RECT r{-1, 2, 300, 4};
  const auto bytes = StoreBytes([&](CArchive& ar) {
    ar << BYTE(0x12) << WORD(0x3456) << short(-2) << LONG(-3) << DWORD(0x89ABCDEFu) << 1.5f << -2.25
       << 'x' << L'\u00E9' << true << 7 << 8u << r << POINT{5, -6} << wchar_t(0x1F600);
  });
  EXPECT_EQ(bytes, Hex("12 5634 FEFF FDFFFFFF EFCDAB89 0000C03F 00000000000002C0 78 E900 01 "
                       "07000000 08000000 FFFFFFFF 02000000 2C010000 04000000 05000000 FAFFFFFF "
                       "FDFF"));
  // A wide character beyond the BMP does not fit 16 bits (FFFD above); any non-zero byte
  // loads as true.
  auto again = bytes;
  again[28] = 2;
  Loader load(again);
  std::tuple<BYTE, WORD, short, LONG, DWORD, float, double, char, wchar_t, bool, int, unsigned,
             RECT, POINT>
      v{};
  auto& [b, w, s, l, d, f, g, c, wc, flag, i, u, r2, p2] = v;
  load.ar() >> b >> w >> s >> l >> d >> f >> g >> c >> wc >> flag >> i >> u >> r2 >> p2 >> wc;
  EXPECT_TRUE(b == 0x12 && w == 0x3456 && s == -2 && l == -3 && d == 0x89ABCDEFu && f == 1.5f &&
              g == -2.25 && c == 'x' && flag && i == 7 && u == 8u && p2.x == 5 && p2.y == -6 &&
              std::memcmp(&r, &r2, sizeof r) == 0 && wc == L'\uFFFD' &&
              load.ar().RemainingForLoad() == 0u);
}

TEST(ArchiveLifetime, DestructorFlushesUnlessAbortedOrUnwinding) {
  CMemFile file, aborted, unwound;
  { CArchive(&file, CArchive::store) << DWORD(1); }
  {
    CArchive ar(&aborted, CArchive::store);
    (ar << DWORD(1)).Abort();
  }
  try {
    CArchive ar(&unwound, CArchive::store);
    ar << DWORD(1);
    throw std::runtime_error("fails half-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ((std::vector<uint64_t>{file.GetLength(), aborted.GetLength(), unwound.GetLength()}),
            (std::vector<uint64_t>{4, 0, 0}));
}

TEST(ArchiveStrings, LengthPrefixFormsAndSurrogates) {
  // clang-format off
  const std::pair<size_t, const char*> cases[] = {{0, "FFFEFF 00"}, {254, "FFFEFF FE"},
      {255, "FFFEFF FF FF00"}, {0xFFFD, "FFFEFF FF FDFF"}, {0xFFFE, "FFFEFF FF FFFF FEFF0000"}};
  // clang-format on
  for (const auto& [length, hex] : cases) {
    const std::vector<BYTE> prefix = Hex(hex);
    std::wstring text(length, L'q');
    if (!text.empty()) text[0] = L'\u20AC';
    const auto bytes = StoreBytes([&](CArchive& ar) { ar << CString(text); });
    ASSERT_EQ(bytes.size(), prefix.size() + 2 * length) << length;
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), bytes.begin())) << length;
    EXPECT_TRUE(length == 0 || bytes[prefix.size() + 1] == 0x20) << length;
    EXPECT_TRUE(Loader(bytes).ar().ReadString().str() == text) << length;
  }
  const CString text(L"a\U0001F600\U0010FFFF");
  const auto bytes = StoreBytes([&](CArchive& ar) { ar.WriteString(text); });
  EXPECT_EQ(bytes, Hex("FFFEFF05 6100 3DD8 00DE FFDB FFDF"));
  EXPECT_TRUE(Loader(bytes).ar().ReadString() == text);
  // A lone high surrogate, a lone low surrogate, and a high surrogate at the end.
  Loader lone(Hex("FFFEFF04 00D8 4100 00DC 00D8"));
  EXPECT_TRUE(lone.ar().ReadString().str() == std::wstring(L"\uFFFDA\uFFFD\uFFFD"));
}

TEST(ArchiveObjects, SharedCounterReferencesAndNull) {
  CFoo foo1(0x01020304), foo2(2);
  CArBar bar;
  const auto bytes = StoreBytes([&](CArchive& ar) {
    ar << &foo1 << &foo1 << &foo2 << &bar << static_cast<const CObject*>(nullptr) << &bar;
  });
  // foo1: class 1, object 2; foo2: object 3; CArBar: class 4, object 5.
  EXPECT_EQ(bytes, Cat({NewClass("CFoo", 2), Hex("04030201 0200 0180 02000000"),
                        NewClass("CArBar", 1), Hex("0000 FFFEFF00 0000 0500")}));
  Loader load(bytes);
  CArchive& ar = load.ar();
  std::unique_ptr<CObject> a(ar.ReadObject(RUNTIME_CLASS(CFoo)));
  CObject* again = ar.ReadObject(RUNTIME_CLASS(CObject));
  std::unique_ptr<CObject> b(ar.ReadObject(RUNTIME_CLASS(CFoo)));
  CArBar* barBack = nullptr;
  ar >> barBack;
  std::unique_ptr<CArBar> barOwner(barBack);
  EXPECT_EQ(ar.ReadObject(RUNTIME_CLASS(CFoo)), nullptr);
  EXPECT_EQ(ar.ReadObject(RUNTIME_CLASS(CArBar)), barBack);
  EXPECT_EQ(again, a.get());
  EXPECT_TRUE(static_cast<CFoo*>(a.get())->m_value == 0x01020304 &&
              static_cast<CFoo*>(b.get())->m_value == 2);
  EXPECT_NE(barBack, nullptr);
}

TEST(ArchiveObjects, BigTagsBeyond7FFE) {
  // CArBar is class 1 with objects 2..0x8000; CFoo is class 0x8001 with object 0x8002.
  std::vector<std::unique_ptr<CArBar>> filler(0x7FFF);
  for (auto& t : filler) t = std::make_unique<CArBar>();
  CFoo foo1(1), foo2(2);
  const auto bytes = StoreBytes([&](CArchive& ar) {
    for (auto& t : filler) ar << t.get();
    ar << &foo1 << &foo2 << filler[0x7FFC].get() << filler.back().get() << &foo1;
  });
  // foo1; foo2 under a big class tag; the last short tag; big references to objects.
  const auto tail = Cat({NewClass("CFoo", 2),
                         Hex("01000000 FF7F 01800080 02000000 FE7F FF7F 00800000 FF7F 02800000")});
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size())));
  Loader load(bytes);
  std::vector<std::unique_ptr<CObject>> owned;
  for (size_t i = 0; i < filler.size(); ++i)
    owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CArBar)));
  owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  owned.emplace_back(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_EQ(static_cast<CFoo*>(owned.back().get())->m_value, 2);
  for (size_t i : {0x7FFC, 0x7FFE, 0x7FFF})
    EXPECT_EQ(load.ar().ReadObject(nullptr), owned[i].get());
}

TEST(ArchiveSchemas, VersionableClassHandsTheFileSchemaOnce) {
  CArVersioned outer, second;
  outer.m_child = new CArVersioned;
  const auto bytes = StoreBytes([&](CArchive& ar) { ar << &outer << &second; });
  // Storing: no schema to give; the flag is dropped from the schema word.
  EXPECT_TRUE(outer.m_firstSchema == UINT(-1) && outer.m_child->m_firstSchema == UINT(-1));
  const auto prefix = NewClass("CArVersioned", 3);
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), bytes.begin()));
  // An older file schema (1) loads: every object of the class gets it once, the outer object
  // still after its child took its own.
  auto old = bytes;
  old[2] = 1;
  Loader load(old);
  std::unique_ptr<CObject> a(load.ar().ReadObject(RUNTIME_CLASS(CArVersioned)));
  std::unique_ptr<CObject> b(load.ar().ReadObject(RUNTIME_CLASS(CArVersioned)));
  auto *va = static_cast<CArVersioned*>(a.get()), *vb = static_cast<CArVersioned*>(b.get());
  ASSERT_NE(va->m_child, nullptr);
  EXPECT_EQ((std::vector<UINT>{va->m_firstSchema, va->m_secondSchema, va->m_child->m_firstSchema,
                               va->m_child->m_secondSchema, vb->m_firstSchema,
                               load.ar().GetObjectSchema()}),
            (std::vector<UINT>{1, UINT(-1), 1, UINT(-1), 1, UINT(-1)}));
}

TEST(ArchiveObjects, RefusedClassesAndSchemas) {
  const struct {
    std::vector<BYTE> record;
    const CRuntimeClass* requested;
    int cause;
  } cases[] = {
      {NewClass("CFoo", 3), RUNTIME_CLASS(CFoo), CArchiveException::badSchema},
      {NewClass("CNoSuchClass", 1), nullptr, CArchiveException::badClass},
      {NewClass("CArAbstract", 1), nullptr, CArchiveException::badClass},
      {NewClass("CArPlain", 0xFFFF), nullptr, CArchiveException::badClass},
      {NewClass("CFoo" + std::string(60, 'x'), 2), nullptr, CArchiveException::badClass},
      {{0xFF, 0xFF, 2, 0, 5, 0, 'C', 'F', 'o', 'o', 0}, nullptr, CArchiveException::badClass},
      {NewClass("CFoo", 2), RUNTIME_CLASS(CArBar), CArchiveException::badClass},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadCause(Cat({c.record, {1, 0, 0, 0}}), c.requested), c.cause) << &c - cases;
  }
  // Storing refuses a class that could not load.
  CArPlain plain;
  EXPECT_EQ(Cause([&] { StoreBytes([&](CArchive& ar) { ar << &plain; }); }),
            CArchiveException::badClass);
}

TEST(ArchiveObjects, BadReferences) {
  const auto foo = Cat({NewClass("CFoo", 2), {1, 0, 0, 0}});
  // An object beyond those assigned, an object tag on a class slot, a class tag on an object
  // slot, class index 0, a class beyond those assigned, a big object tag beyond, a big class
  // tag on an object.
  for (const char* more :
       {"0300", "0100", "0280", "0080", "0580", "FF7F 03000000", "FF7F 02000080"}) {
    Loader load(Cat({foo, Hex(more)}));
    std::unique_ptr<CObject> first(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
    EXPECT_EQ(Cause([&] { load.ar().ReadObject(nullptr); }), CArchiveException::badIndex);
  }
  // A reference to an object of the wrong class.
  Loader load(Cat({foo, {0x02, 0x00}}));
  std::unique_ptr<CObject> first(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_THROW(load.ar().ReadObject(RUNTIME_CLASS(CArBar)), CArchiveException);
  // A node whose owned child is a reference to itself would own itself; a node whose link (a
  // reference only) is a new CArBar record would leave it without an owner.
  const int live = CArNode::s_live;
  EXPECT_EQ(LoadCause(Cat({NewClass("CArNode", 1), {0, 0, 0, 0, 0x00, 0x00, 0x02, 0x00}}),
                      RUNTIME_CLASS(CArNode)),
            CArchiveException::badIndex);
  EXPECT_EQ(LoadCause(Cat({NewClass("CArNode", 1), {0, 0, 0, 0}, NewClass("CArBar", 1), {0, 0, 0}}),
                      RUNTIME_CLASS(CArNode)),
            CArchiveException::badIndex);
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveObjects, FailedSerializeDeletesTheObjectAndKillsItsSlots) {
  CArNode failing;
  failing.m_value = CArNode::kFailOnLoad;
  failing.m_child = new CArNode;
  CFoo foo(5);
  const auto bytes = StoreBytes([&](CArchive& ar) {
    ar << &failing << &foo << WORD(0x0002) << WORD(0x0003) << WORD(0x8001) << LONG(0) << WORD(0)
       << WORD(0);
  });
  const int live = CArNode::s_live;
  Loader load(bytes);
  // Index 1 the CArNode class, 2 the failing node, 3 its child; then CFoo and foo.
  EXPECT_THROW(load.ar().ReadObject(RUNTIME_CLASS(CArNode)), CArchiveException);
  EXPECT_EQ(CArNode::s_live, live);
  // The archive goes on: later objects load, references to deleted objects are refused and
  // classes stay usable.
  std::unique_ptr<CObject> fooBack(load.ar().ReadObject(RUNTIME_CLASS(CFoo)));
  EXPECT_EQ(static_cast<CFoo*>(fooBack.get())->m_value, 5);
  const auto reference = [&] { return Cause([&] { load.ar().ReadObject(nullptr); }); };
  EXPECT_EQ((std::vector<int>{reference(), reference()}),
            std::vector<int>(2, CArchiveException::badIndex));
  EXPECT_NE(std::unique_ptr<CObject>(load.ar().ReadObject(RUNTIME_CLASS(CArNode))), nullptr);
}

TEST(ArchiveObjects, NestingDepthIsBounded) {
  // A chain at the limit stores and loads; one level more is refused when storing, so
  // nothing unloadable is written, and when loading.
  auto chain = std::make_unique<CArNode>();
  CArNode* tip = chain.get();
  for (int i = 1; i < CArchive::kMaxObjectDepth; ++i) tip = tip->m_child = new CArNode;
  const auto store = [&] { return StoreBytes([&](CArchive& ar) { ar << chain.get(); }); };
  EXPECT_EQ(LoadCause(store(), RUNTIME_CLASS(CArNode)), -1);
  tip->m_child = new CArNode;
  EXPECT_NE(Cause(store), -1);
  // A node whose owned child is a node, and so on, 100000 times: no stack overflow.
  const int live = CArNode::s_live;
  auto deep = NewClass("CArNode", 1);
  for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {0, 0, 0, 0, 0x00, 0x00, 0x01, 0x80});
  EXPECT_EQ(LoadCause(deep, RUNTIME_CLASS(CArNode)), CArchiveException::genericException);
  EXPECT_EQ(CArNode::s_live, live);
}

TEST(ArchiveHostileInput, HugeStringLengthsAreRefusedBeforeAllocating) {
  // Lengths in 32 and 64 bits, 2.5 units, 8-bit, 8-bit of 2 GB, a cut marker.
  for (const char* hex : {"FFFEFF FF FFFF FEFFFFFF", "FFFEFF FF FFFF FFFFFFFF FFFFFFFFFFFFFFFF",
                          "FFFEFF 03 6100 6200 63", "FFFDFF 61 62", "FF FFFF 00000080", "FFFE"}) {
    Loader load(Hex(hex));
    EXPECT_EQ(Cause([&] { load.ar().ReadString(); }), CArchiveException::endOfFile);
  }
}

class TempDir {
 public:
  TempDir() : m_path((std::filesystem::temp_directory_path() / "vorlane-file-XXXXXX").string()) {
    if (!::mkdtemp(m_path.data())) throw std::runtime_error("mkdtemp failed");
  }
  ~TempDir() { std::filesystem::remove_all(m_path); }
  std::wstring Wide(const wchar_t* name) const {
    return std::wstring(m_path.begin(), m_path.end()) + L"/" + name;
  }
  std::string m_path;
};

// The cause of the CFileException call raises, or -1.
const auto FileCause = [](auto&& call) { return artest::Cause<CFileException>(call); };

TEST(CFileTest, OpenFailuresReportTheirCause) {
  TempDir dir;
  const std::wstring missing = dir.Wide(L"missing.bin"), self = dir.Wide(L"");
  const wchar_t bad[] = {L'a', static_cast<wchar_t>(0xD800), 0};  // no UTF-8 form
  CFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeWrite));  // no modeCreate: must exist
  // A directory cannot be opened as a file, for reading or writing.
  const std::tuple<const wchar_t*, UINT, int> cases[] = {
      {missing.c_str(), CFile::modeRead, CFileException::fileNotFound},
      {self.c_str(), CFile::modeRead, CFileException::accessDenied},
      {self.c_str(), CFile::modeWrite, CFileException::accessDenied},
      {bad, CFile::modeRead, CFileException::badPath}};
  for (const auto& [path, mode, cause] : cases) {
    EXPECT_FALSE(file.Open(path, mode, &error));
    EXPECT_EQ(error.m_cause, cause);
    EXPECT_TRUE(error.m_strFileName == path);
  }
}

TEST(CFileTest, WriteFailureRaises) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  CFile file(L"/dev/full", CFile::modeWrite), full(L"/dev/full", CFile::modeWrite);
  std::vector<BYTE> block(100000, 1);
  // stdio may buffer the first bytes; the failure shows at the latest when flushing.
  EXPECT_EQ(FileCause([&] { file.Write(block.data(), 100000), file.Flush(); }),
            CFileException::diskFull);
  CArchive ar(&full, CArchive::store);
  ar << static_cast<DWORD>(1);
  EXPECT_EQ(FileCause([&] { ar.Close(); }), CFileException::diskFull);
}

TEST(CMemFileTest, GrowsAndDetaches) {
  CMemFile file(16);
  for (int i = 0; i < 10000; ++i) {
    const auto b = static_cast<BYTE>(i);
    file.Write(&b, 1);
  }
  EXPECT_EQ((std::vector<uint64_t>{file.GetLength(), file.GetPosition()}),
            (std::vector<uint64_t>(2, 10000)));
  file.Seek(10, CFile::end);  // beyond the end: a gap of zeros
  file.Write("!", 1);
  EXPECT_EQ(file.GetLength(), 10011u);
  BYTE* buffer = file.Detach();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ((std::vector<BYTE>{buffer[9999], buffer[10005], buffer[10010]}),
            (std::vector<BYTE>{static_cast<BYTE>(9999), 0, '!'}));
  std::free(buffer);
  EXPECT_EQ(file.GetLength(), 0u);
  file.Write("ab", 2);  // usable again
  EXPECT_EQ(file.GetLength(), 2u);
  EXPECT_EQ(FileCause([&] { file.Seek(-3, CFile::current); }), CFileException::badSeek);
  EXPECT_EQ(file.GetPosition(), 2u);
}

TEST(CMemFileTest, AttachedBufferIsReadAndNeverReallocated) {
  BYTE data[4] = {1, 2, 3, 4}, two[2];
  {
    CMemFile file(data, 4);
    EXPECT_EQ((std::vector<uint64_t>{file.GetLength(), file.Read(two, 2)}),
              (std::vector<uint64_t>{4, 2}));
    file.Write("\x09", 1);  // inside the buffer: overwrites the caller's byte
    EXPECT_EQ(data[2], 9);
    EXPECT_EQ(FileCause([&] { file.Write("xy", 2); }), CFileException::diskFull);
    EXPECT_EQ(file.GetLength(), 4u);
  }
  {
    CMemFile file(data, 4, 8);
    file.SeekToEnd();
    file.Write("\x05", 1);  // moves the content into a buffer of the file's own
    EXPECT_EQ(file.GetLength(), 5u);
    BYTE* own = file.Detach();
    ASSERT_NE(own, data);
    EXPECT_EQ(std::memcmp(own, "\x01\x02\x09\x04\x05", 5), 0);
    std::free(own);
  }
  EXPECT_EQ(std::memcmp(data, "\x01\x02\x09\x04", 4), 0);
  EXPECT_FALSE(CMemFile().Open(L"x", CFile::modeRead));
}

TEST(CFileTest, ModesSeekAndWrongDirectionOnANonAsciiPath) {
  TempDir dir;
  const std::wstring path = dir.Wide(L"\u00E9t\u00E9 \U0001F600.bin");
  char two[2], all[8] = {};
  {
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    file.Write("abcdef", 6);
    EXPECT_EQ(FileCause([&] { file.Read(two, 1); }), CFileException::accessDenied);
  }
  // The name reaches the file system as UTF-8.
  struct stat st {};
  ASSERT_EQ(::stat((dir.m_path + "/\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 6);
  {
    // modeNoTruncate keeps the content; read and write interleave.
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
    EXPECT_EQ((std::vector<uint64_t>{file.GetLength(), file.Read(two, 2)}),
              (std::vector<uint64_t>{6, 2}));
    file.Write("XY", 2);
    EXPECT_EQ(file.Read(two, 2), 2u);
    EXPECT_EQ(std::memcmp(two, "ef", 2), 0);
    EXPECT_EQ(file.SeekToEnd(), 6u);
    file.Write("g", 1);
    EXPECT_EQ(file.GetLength(), 7u);
    EXPECT_EQ(file.Seek(-3, CFile::current), 4u);
    EXPECT_EQ(FileCause([&] { file.Seek(-1, CFile::begin); }), CFileException::badSeek);
  }
  {
    CFile file(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    EXPECT_EQ((std::vector<uint64_t>{file.Read(all, 8), file.Read(two, 2)}),
              (std::vector<uint64_t>{7, 0}));
    EXPECT_STREQ(all, "abXYefg");
    EXPECT_EQ(FileCause([&] { file.Write("z", 1); }), CFileException::accessDenied);
  }
  EXPECT_EQ(CFile(path.c_str(), CFile::modeCreate | CFile::modeWrite).GetLength(), 0u);
  EXPECT_EQ(FileCause([] { CFile().GetLength(); }), CFileException::invalidFile);
}

}  // namespace
