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

// A binary file on disk, read and written through stdio. Paths are converted to UTF-8.
// Failures of Read, Write, Seek, Flush and Close raise CFileException; the destructor closes
// the file without raising (call Close to learn about a failed final write).
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

  // Returns FALSE (and fills *error when given) when the file cannot be opened. Without
  // modeCreate the file must exist; modeCreate truncates it unless modeNoTruncate is given.
  // The share flags, modeNoInherit and typeText/typeBinary are accepted and ignored.
  virtual BOOL Open(LPCWSTR path, UINT flags, CFileException* error = nullptr);
  // Reads up to count bytes; returns the count read (0 at the end).
  virtual UINT Read(void* buffer, UINT count);
  // Writes count bytes or throws CFileException.
  virtual void Write(const void* buffer, UINT count);
  // Moves to offset from begin, current or end; returns the new position. A position before
  // the start raises CFileException(badSeek).
  virtual uint64_t Seek(int64_t offset, UINT from);
  uint64_t SeekToEnd() { return Seek(0, end); }
  void SeekToBegin() { Seek(0, begin); }
  virtual uint64_t GetPosition() const;
  virtual uint64_t GetLength() const;
  virtual void Flush();
  // Closes the file; raises CFileException when buffered data cannot be written.
  virtual void Close();
  // Closes the file, ignoring every error.
  virtual void Abort();
  const CString& GetFilePath() const { return m_strFileName; }

 protected:
  // The last stdio transfer on the stream: switching direction needs a seek in between.
  enum class LastOp { none, read, write };

  // Throws CFileException(invalidFile) when no file is open.
  void RequireOpen() const;
  // Throws the CFileException that matches errno after a failed call.
  [[noreturn]] void ThrowErrno(int fallbackCause) const;

  std::FILE* m_pStream = nullptr;
  CString m_strFileName;
  UINT m_nOpenFlags = 0;
  mutable LastOp m_lastOp = LastOp::none;
};

// A file in memory: a growable buffer (malloc/realloc, so that Detach can hand it over to be
// freed with free()) or a caller's buffer that it reads and may overwrite.
class CMemFile : public CFile {
 public:
  explicit CMemFile(UINT growBytes = 1024);
  // Reads an existing buffer that the caller keeps; its size bytes are the file's content.
  // Writes stay inside the buffer; with growBytes > 0 a write beyond it moves the content into
  // a buffer of the file's own (the caller's buffer is never reallocated or freed).
  CMemFile(BYTE* buffer, UINT size, UINT growBytes = 0);
  ~CMemFile() override;

  // A memory file has no path: always FALSE with cause genericException.
  BOOL Open(LPCWSTR path, UINT flags, CFileException* error = nullptr) override;
  UINT Read(void* buffer, UINT count) override;
  // Writes at the position, growing the file; a gap left by a seek beyond the end reads as
  // zeros. Raises CFileException(diskFull) when the buffer cannot grow (growBytes 0) and
  // CMemoryException when memory runs out.
  void Write(const void* buffer, UINT count) override;
  uint64_t Seek(int64_t offset, UINT from) override;
  uint64_t GetPosition() const override;
  uint64_t GetLength() const override;
  void Flush() override;
  // Frees the file's own buffer; the file is empty (and writable again) afterwards.
  void Close() override;
  void Abort() override;
  // Hands the buffer to the caller, who frees it with free() (unless it is the caller's own
  // attached buffer); null when the file never held a buffer. The file is empty afterwards.
  BYTE* Detach();

 protected:
  // Makes room for needed bytes of content.
  void Grow(size_t needed);

  BYTE* m_lpBuffer = nullptr;
  size_t m_nBufferSize = 0;  // allocated bytes
  size_t m_nFileSize = 0;    // bytes of content
  size_t m_nPosition = 0;
  UINT m_nGrowBytes = 1024;
  bool m_bAutoDelete = true;  // the buffer is ours to free
};

// A buffered binary stream over a CFile, either storing or loading, with typed little-endian
// scalars, strings and tagged object framing. Errors raise CArchiveException (or the file's
// CFileException). The archive writes no header of its own and starts at the file's position.
class CArchive {
 public:
  enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

  // Objects nested deeper than this inside one another (an object read or written while
  // another one's Serialize runs) raise CArchiveException(genericException): it bounds the
  // recursion that a hostile archive can cause.
  static constexpr int kMaxObjectDepth = 1000;

  // file must stay open while the archive works. bufSize below 16 (or not given) is raised to
  // that; buf is accepted and ignored (the archive keeps its own buffer).
  CArchive(CFile* file, UINT mode, int bufSize = 4096, void* buf = nullptr);
  // Flushes a storing archive unless Close or Abort was called, bNoFlushOnDelete was given or
  // an exception is unwinding the stack; never raises.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsStoring() const { return (m_nMode & load) == 0; }
  BOOL IsLoading() const { return (m_nMode & load) != 0; }
  CFile* GetFile() const { return m_pFile; }

  // Raw blocks. Read returns the count read, which is short only at the end of the file.
  UINT Read(void* buffer, UINT count);
  void Write(const void* buffer, UINT count);
  // Storing: writes the buffered bytes to the file and flushes it. Loading: moves the file
  // back over the bytes buffered but not yet read.
  void Flush();
  // Flushes and detaches from the file (which stays open). Later operations raise
  // CArchiveException(genericException).
  void Close();
  // Detaches from the file without writing anything; never raises.
  void Abort();

  // Object framing.
  void WriteObject(const CObject* object);
  // Reads an object of the requested class (or a class derived from it); null for the
  // null tag. Raises CArchiveException on bad tags, classes and schemas.
  CObject* ReadObject(const CRuntimeClass* requested);
  // As ReadObject, for a pointer that the caller will own: a reference to an object read
  // before raises CArchiveException(badIndex), so that a hostile archive cannot give one
  // object two owners (or make an object own itself).
  CObject* ReadNewObject(const CRuntimeClass* requested);
  // As ReadObject, for a pointer that the caller does not own (a link to an object stored
  // elsewhere or to an owner): null or an object read before (or being read now); a new object
  // raises CArchiveException(badIndex), since nobody would delete it.
  CObject* ReadReference(const CRuntimeClass* requested);
  void WriteClass(const CRuntimeClass* cls);
  // Reads a class record or class reference; *schema receives the schema in the file.
  CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr, UINT* schema = nullptr);

  // The schema of the object being read, once; then (UINT)-1.
  UINT GetObjectSchema();
  void SetObjectSchema(UINT schema) { m_nObjectSchema = schema; }

  // Bytes that a loading archive can still deliver (buffered plus the rest of the file);
  // used to bound allocations by what the file can hold. 0 for a storing archive.
  uint64_t RemainingForLoad() const;

  // On this platform `int`, `unsigned int` and `BOOL` are LONG and DWORD.
  CArchive& operator<<(BYTE v);
  CArchive& operator<<(WORD v);
  CArchive& operator<<(short v);
  CArchive& operator<<(LONG v);
  CArchive& operator<<(DWORD v);
  CArchive& operator<<(float v);
  CArchive& operator<<(double v);
  CArchive& operator<<(char v);
  // Stored as one UTF-16 code unit; a character outside the BMP is stored as U+FFFD.
  CArchive& operator<<(wchar_t v);
  CArchive& operator<<(bool v);
  // A string literal would otherwise be stored as a bool: wrap it in a CString.
  CArchive& operator<<(const char*) = delete;
  CArchive& operator<<(const wchar_t*) = delete;

  CArchive& operator>>(BYTE& v);
  CArchive& operator>>(WORD& v);
  CArchive& operator>>(short& v);
  CArchive& operator>>(LONG& v);
  CArchive& operator>>(DWORD& v);
  CArchive& operator>>(float& v);
  CArchive& operator>>(double& v);
  CArchive& operator>>(char& v);
  CArchive& operator>>(wchar_t& v);
  // Any non-zero byte loads as true.
  CArchive& operator>>(bool& v);

  // Strings: stored as Unicode with the FF FE FF marker; loads 8-bit strings too.
  void WriteString(const CString& s);
  CString ReadString();

 private:
  // One entry of the load table: index 0 is the null object; a dead slot held an object
  // whose loading failed and may not be referenced again.
  struct LoadSlot {
    enum Kind : uint8_t { kNull, kClass, kObject, kDead };
    void* ptr;
    UINT schema;  // schema in the file, for class slots
    Kind kind;
  };

  void RequireLoading() const;
  void RequireStoring() const;
  // Reads exactly count bytes or raises CArchiveException(endOfFile).
  void ReadExact(void* buffer, UINT count);
  // Writes the buffered bytes to the file.
  void FlushBuffer();
  // Takes the next index of the shared class/object counter.
  uint32_t NextIndex();
  // Writes an object reference (0 for null), short or big form.
  void WriteObjectTag(uint32_t index);
  // Reads a tag. For a class (new record or reference) returns it with its file schema; for
  // an object reference returns null and the index in *objectIndex (0 for null).
  CRuntimeClass* ReadTag(const CRuntimeClass* requested, UINT* schema, uint32_t* objectIndex);
  // Reads a new-class record after its tag and enters it in the load table.
  CRuntimeClass* LoadNewClass(UINT* schema);
  // What LoadObject accepts: anything, only a new object, or only a reference.
  enum class Accept { any, newObject, reference };
  // ReadObject, ReadNewObject and ReadReference.
  CObject* LoadObject(const CRuntimeClass* requested, Accept accept);
  // Marks the object slots from index on as dead (their objects were or may be deleted).
  void KillSlotsFrom(size_t index);

  CFile* m_pFile;
  UINT m_nMode;
  std::vector<BYTE> m_buffer;
  size_t m_bufPos = 0;  // next byte to read, or bytes written so far
  size_t m_bufEnd = 0;  // end of valid bytes when loading
  UINT m_nObjectSchema = static_cast<UINT>(-1);
  int m_nDepth = 0;            // objects being read or written inside one another
  int m_nUncaughtAtStart = 0;  // std::uncaught_exceptions() when the archive was made
  uint32_t m_nMapCount = 1;    // index 0 is the null object
  std::unordered_map<const void*, uint32_t> m_storeMap;
  std::vector<LoadSlot> m_loadArray;
};

CArchive& operator<<(CArchive& ar, const CObject* object);
CArchive& operator<<(CArchive& ar, const CString& s);
CArchive& operator>>(CArchive& ar, CString& s);
CArchive& operator<<(CArchive& ar, const RECT& r);
CArchive& operator>>(CArchive& ar, RECT& r);
CArchive& operator<<(CArchive& ar, const POINT& p);
CArchive& operator>>(CArchive& ar, POINT& p);
