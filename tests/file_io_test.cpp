// CFile on disk (UTF-8 paths, open modes, error causes) and CMemFile (growth, attach, detach).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/archive.h"
#include "support/archive_test_classes.h"

namespace {

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
    EXPECT_TRUE(file.GetFilePath() == path.c_str());
    EXPECT_EQ((std::vector<uint64_t>{file.Read(all, 8), file.Read(two, 2)}),
              (std::vector<uint64_t>{7, 0}));
    EXPECT_STREQ(all, "abXYefg");
    EXPECT_EQ(FileCause([&] { file.Write("z", 1); }), CFileException::accessDenied);
  }
  EXPECT_EQ(CFile(path.c_str(), CFile::modeCreate | CFile::modeWrite).GetLength(), 0u);
  EXPECT_EQ(FileCause([] { CFile().GetLength(); }), CFileException::invalidFile);
}

}  // namespace
