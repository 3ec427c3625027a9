// Files and binary archives: CFile, CMemFile and CArchive with the framework's
// persistent-object byte format (little-endian, tagged object framing).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/cstring.h"
#include "platform/exceptions.h"
#include "platform/object.h"
#include "platform/types.h"

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile();
  // Opens or throws CFileException.
  CFile(LPCWSTR path, UINT flags);
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Returns FALSE (and fills *error when given) when the file cannot be opened.
  virtual BOOL Open(LPCWSTR path, UINT flags, CFileException* error = nullptr);
  // Reads up to count bytes; returns the count read (0 at the end).
  virtual UINT Read(void* buffer, UINT count);
  // Writes count bytes or throws CFileException.
  virtual void Write(const void* buffer, UINT count);
  virtual uint64_t Seek(int64_t offset, UINT from);
  uint64_t SeekToEnd() { return Seek(0, end); }
  void SeekToBegin() { Seek(0, begin); }
  virtual uint64_t GetPosition() const;
  virtual uint64_t GetLength() const;
  virtual void Flush();
  virtual void Close();
  const CString& GetFilePath() const { return m_strFileName; }

 protected:
  std::FILE* m_pStream = nullptr;
  CString m_strFileName;
};

class CMemFile : public CFile {
 public:
  explicit CMemFile(UINT growBytes = 1024);
  // Reads (and, with growBytes > 0, may extend) an existing buffer that the caller keeps.
  CMemFile(BYTE* buffer, UINT size, UINT growBytes = 0);
  ~CMemFile() override;

  BOOL Open(LPCWSTR path, UINT flags, CFileException* error = nullptr) override;
  UINT Read(void* buffer, UINT count) override;
  void Write(const void* buffer, UINT count) override;
  uint64_t Seek(int64_t offset, UINT from) override;
  uint64_t GetPosition() const override;
  uint64_t GetLength() const override;
  void Flush() override;
  void Close() override;
  // Hands the buffer to the caller, who frees it with free(); the file is empty afterwards.
  BYTE* Detach();

 private:
  void Grow(size_t needed);

  BYTE* m_lpBuffer = nullptr;
  size_t m_nBufferSize = 0;  // allocated bytes
  size_t m_nFileSize = 0;    // bytes of content
  size_t m_nPosition = 0;
  UINT m_nGrowBytes = 1024;
  bool m_bAutoDelete = true;  // the buffer is ours to free
};

class CArchive {
 public:
  enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

  CArchive(CFile* file, UINT mode, int bufSize = 4096, void* buf = nullptr);
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsStoring() const { return (m_nMode & load) == 0; }
  BOOL IsLoading() const { return (m_nMode & load) != 0; }
  CFile* GetFile() const { return m_pFile; }

  // Raw blocks. Read returns the count read, which is short only at the end of the file.
  UINT Read(void* buffer, UINT count);
  void Write(const void* buffer, UINT count);
  void Flush();
  void Close();
  void Abort();

  // Object framing.
  void WriteObject(const CObject* object);
  // Reads an object of the requested class (or a class derived from it); null for the
  // null tag. Raises CArchiveException on bad tags, classes and schemas.
  CObject* ReadObject(const CRuntimeClass* requested);
  void WriteClass(const CRuntimeClass* cls);
  CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr, UINT* schema = nullptr);

  // The schema of the object being read, once; then (UINT)-1.
  UINT GetObjectSchema();
  void SetObjectSchema(UINT schema) { m_nObjectSchema = schema; }

  // Bytes that a loading archive can still deliver (buffered plus the rest of the file);
  // used to bound allocations by what the file can hold.
  uint64_t RemainingForLoad() const;

  CArchive& operator<<(BYTE v);
  CArchive& operator<<(WORD v);
  CArchive& operator<<(short v);
  CArchive& operator<<(LONG v);
  CArchive& operator<<(DWORD v);
  CArchive& operator<<(float v);
  CArchive& operator<<(double v);
  CArchive& operator<<(char v);
  CArchive& operator<<(wchar_t v);
  CArchive& operator<<(bool v);

  CArchive& operator>>(BYTE& v);
  CArchive& operator>>(WORD& v);
  CArchive& operator>>(short& v);
  CArchive& operator>>(LONG& v);
  CArchive& operator>>(DWORD& v);
  CArchive& operator>>(float& v);
  CArchive& operator>>(double& v);
  CArchive& operator>>(char& v);
  CArchive& operator>>(wchar_t& v);
  CArchive& operator>>(bool& v);

  // Strings: stored as Unicode with the FF FE FF marker; loads 8-bit strings too.
  void WriteString(const CString& s);
  CString ReadString();

 private:
  void FillBuffer(UINT needed);
  void ReadExact(void* buffer, UINT count);
  void WriteCount(uint32_t count);
  uint32_t ReadCount();

  CFile* m_pFile;
  UINT m_nMode;
  std::vector<BYTE> m_buffer;
  size_t m_bufPos = 0;  // next byte to read, or bytes written so far
  size_t m_bufEnd = 0;  // end of valid bytes when loading
  UINT m_nObjectSchema = static_cast<UINT>(-1);
  uint32_t m_nMapCount = 1;  // index 0 is the null object
  std::unordered_map<const void*, uint32_t> m_storeMap;
  struct LoadSlot {
    void* ptr;
    bool isClass;
    UINT schema;
  };
  std::vector<LoadSlot> m_loadArray;
};

// Note: on this platform `int`, `unsigned int` and `BOOL` are LONG- and DWORD-sized; the
// operators above cover them through LONG (int32_t) and DWORD (uint32_t).
CArchive& operator<<(CArchive& ar, const CObject* object);
CArchive& operator<<(CArchive& ar, const CString& s);
CArchive& operator>>(CArchive& ar, CString& s);
CArchive& operator<<(CArchive& ar, const RECT& r);
CArchive& operator>>(CArchive& ar, RECT& r);
CArchive& operator<<(CArchive& ar, const POINT& p);
CArchive& operator>>(CArchive& ar, POINT& p);
