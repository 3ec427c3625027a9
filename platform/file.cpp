// CFile over stdio with UTF-8 paths, and CMemFile over a growable malloc'd buffer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "platform/archive.h"
#include "platform/utf8.h"

namespace {

// The CFileException cause for an errno value; fallback for values without a closer match.
int CauseFromErrno(int err, int fallback) {
  switch (err) {
    case ENOENT:
      return CFileException::fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return CFileException::accessDenied;
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
    case EINVAL:
      return CFileException::badPath;
    case EMFILE:
    case ENFILE:
      return CFileException::tooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return CFileException::diskFull;
    case EIO:
      return CFileException::hardIO;
    case EBADF:
      return CFileException::invalidFile;
    default:
      return fallback;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CFile

CFile::CFile() = default;

CFile::CFile(LPCWSTR path, UINT flags) {
  CFileException error;
  if (!Open(path, flags, &error)) throw error;
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCWSTR path, UINT flags, CFileException* error) {
  const auto fail = [&](int cause) {
    if (error) {
      error->m_cause = cause;
      error->m_strFileName = path;
    }
    return FALSE;
  };
  if (m_pStream) return fail(CFileException::genericException);  // already open
  if (!path) return fail(CFileException::badPath);
  std::string utf8;
  if (!vorlane::WideToUtf8(path, utf8)) return fail(CFileException::badPath);

  int oflags = O_CLOEXEC;
  const char* fmode = "rb";
  if (flags & modeReadWrite) {
    oflags |= O_RDWR;
    fmode = "r+b";
  } else if (flags & modeWrite) {
    oflags |= O_WRONLY;
    fmode = "wb";  // fdopen does not truncate; the open flags decide that
  } else {
    oflags |= O_RDONLY;
  }
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    // Truncation needs write access (read-only with O_TRUNC is unspecified).
    if (!(flags & modeNoTruncate) && (flags & (modeWrite | modeReadWrite))) oflags |= O_TRUNC;
  }

  const int fd = ::open(utf8.c_str(), oflags, 0666);
  if (fd < 0) return fail(CauseFromErrno(errno, CFileException::genericException));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fail(CFileException::accessDenied);
  }
  std::FILE* stream = ::fdopen(fd, fmode);
  if (!stream) {
    const int err = errno;
    ::close(fd);
    return fail(CauseFromErrno(err, CFileException::genericException));
  }
  m_pStream = stream;
  m_strFileName = path;
  m_nOpenFlags = flags;
  m_lastOp = LastOp::none;
  if (error) *error = CFileException();
  return TRUE;
}

void CFile::RequireOpen() const {
  if (!m_pStream) throw CFileException(CFileException::invalidFile, m_strFileName);
}

void CFile::ThrowErrno(int fallbackCause) const {
  throw CFileException(CauseFromErrno(errno, fallbackCause), m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count) {
  RequireOpen();
  if (count == 0) return 0;
  if (!buffer) throw CFileException(CFileException::genericException, m_strFileName);
  if ((m_nOpenFlags & (modeWrite | modeReadWrite)) == modeWrite) {
    throw CFileException(CFileException::accessDenied, m_strFileName);
  }
  // Input may not follow output on a stdio stream without a positioning call in between.
  if (m_lastOp == LastOp::write && std::fseek(m_pStream, 0, SEEK_CUR) != 0) {
    ThrowErrno(CFileException::hardIO);
  }
  m_lastOp = LastOp::read;
  const size_t got = std::fread(buffer, 1, count, m_pStream);
  if (got < count && std::ferror(m_pStream)) {
    std::clearerr(m_pStream);
    ThrowErrno(CFileException::hardIO);
  }
  return static_cast<UINT>(got);
}

void CFile::Write(const void* buffer, UINT count) {
  RequireOpen();
  if (count == 0) return;
  if (!buffer) throw CFileException(CFileException::genericException, m_strFileName);
  if (!(m_nOpenFlags & (modeWrite | modeReadWrite))) {
    throw CFileException(CFileException::accessDenied, m_strFileName);
  }
  if (m_lastOp == LastOp::read && std::fseek(m_pStream, 0, SEEK_CUR) != 0) {
    ThrowErrno(CFileException::hardIO);
  }
  m_lastOp = LastOp::write;
  if (std::fwrite(buffer, 1, count, m_pStream) != count) {
    std::clearerr(m_pStream);
    ThrowErrno(CFileException::hardIO);
  }
}

uint64_t CFile::Seek(int64_t offset, UINT from) {
  RequireOpen();
  int whence = SEEK_SET;
  switch (from) {
    case begin:
      whence = SEEK_SET;
      break;
    case current:
      whence = SEEK_CUR;
      break;
    case end:
      whence = SEEK_END;
      break;
    default:
      throw CFileException(CFileException::badSeek, m_strFileName);
  }
  if (::fseeko(m_pStream, static_cast<off_t>(offset), whence) != 0) {
    throw CFileException(CFileException::badSeek, m_strFileName);
  }
  m_lastOp = LastOp::none;
  return GetPosition();
}

uint64_t CFile::GetPosition() const {
  RequireOpen();
  const off_t pos = ::ftello(m_pStream);
  if (pos < 0) throw CFileException(CFileException::badSeek, m_strFileName);
  return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetLength() const {
  RequireOpen();
  // Buffered output is not yet in the file's size.
  if (m_lastOp == LastOp::write) {
    if (std::fflush(m_pStream) != 0) ThrowErrno(CFileException::hardIO);
    m_lastOp = LastOp::none;
  }
  struct stat st {};
  if (::fstat(::fileno(m_pStream), &st) != 0) ThrowErrno(CFileException::genericException);
  return static_cast<uint64_t>(std::max<off_t>(st.st_size, 0));
}

void CFile::Flush() {
  if (!m_pStream) return;
  if (std::fflush(m_pStream) != 0) {
    std::clearerr(m_pStream);
    ThrowErrno(CFileException::hardIO);
  }
  if (m_lastOp == LastOp::write) m_lastOp = LastOp::none;
}

void CFile::Close() {
  if (!m_pStream) return;
  std::FILE* stream = m_pStream;
  m_pStream = nullptr;
  m_lastOp = LastOp::none;
  // fclose releases the stream even when writing its buffer fails.
  if (std::fclose(stream) != 0) ThrowErrno(CFileException::hardIO);
}

void CFile::Abort() {
  if (!m_pStream) return;
  std::fclose(m_pStream);
  m_pStream = nullptr;
  m_lastOp = LastOp::none;
}

// ---------------------------------------------------------------------------------------------
// CMemFile

CMemFile::CMemFile(UINT growBytes) : m_nGrowBytes(growBytes) {}

CMemFile::CMemFile(BYTE* buffer, UINT size, UINT growBytes)
    : m_lpBuffer(buffer),
      m_nBufferSize(buffer ? size : 0),
      m_nFileSize(buffer ? size : 0),
      m_nGrowBytes(growBytes),
      m_bAutoDelete(false) {}

CMemFile::~CMemFile() { Abort(); }

BOOL CMemFile::Open(LPCWSTR path, UINT, CFileException* error) {
  if (error) {
    error->m_cause = CFileException::genericException;
    error->m_strFileName = path;
  }
  return FALSE;
}

UINT CMemFile::Read(void* buffer, UINT count) {
  if (count == 0 || m_nPosition >= m_nFileSize) return 0;
  if (!buffer) throw CFileException(CFileException::genericException);
  const size_t n = std::min<size_t>(count, m_nFileSize - m_nPosition);
  std::memcpy(buffer, m_lpBuffer + m_nPosition, n);
  m_nPosition += n;
  return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count) {
  if (count == 0) return;
  if (!buffer) throw CFileException(CFileException::genericException);
  if (m_nPosition > std::numeric_limits<size_t>::max() - count) {
    throw CFileException(CFileException::diskFull);
  }
  const size_t newEnd = m_nPosition + count;
  if (newEnd > m_nBufferSize) Grow(newEnd);
  // A seek beyond the end leaves a gap that reads as zeros.
  if (m_nPosition > m_nFileSize)
    std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
  std::memcpy(m_lpBuffer + m_nPosition, buffer, count);
  m_nPosition = newEnd;
  m_nFileSize = std::max(m_nFileSize, newEnd);
}

void CMemFile::Grow(size_t needed) {
  if (m_nGrowBytes == 0) throw CFileException(CFileException::diskFull);
  // Grow geometrically (by half) so that many small writes cost linear time, in whole
  // multiples of the grow step.
  size_t size = std::max(needed, m_nBufferSize + m_nBufferSize / 2);
  const size_t step = m_nGrowBytes;
  if (size > std::numeric_limits<size_t>::max() - step) throw CMemoryException();
  size = (size + step - 1) / step * step;

  BYTE* grown = nullptr;
  if (m_bAutoDelete) {
    grown = static_cast<BYTE*>(std::realloc(m_lpBuffer, size));
    if (!grown) throw CMemoryException();
  } else {
    // The caller's buffer stays theirs: copy the content into a buffer of our own.
    grown = static_cast<BYTE*>(std::malloc(size));
    if (!grown) throw CMemoryException();
    if (m_nFileSize > 0) std::memcpy(grown, m_lpBuffer, m_nFileSize);
    m_bAutoDelete = true;
  }
  m_lpBuffer = grown;
  m_nBufferSize = size;
}

uint64_t CMemFile::Seek(int64_t offset, UINT from) {
  int64_t base = 0;
  switch (from) {
    case begin:
      base = 0;
      break;
    case current:
      base = static_cast<int64_t>(m_nPosition);
      break;
    case end:
      base = static_cast<int64_t>(m_nFileSize);
      break;
    default:
      throw CFileException(CFileException::badSeek);
  }
  if ((offset < 0 && base + offset < 0) ||
      (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
    throw CFileException(CFileException::badSeek);
  }
  m_nPosition = static_cast<size_t>(base + offset);
  return m_nPosition;
}

uint64_t CMemFile::GetPosition() const { return m_nPosition; }

uint64_t CMemFile::GetLength() const { return m_nFileSize; }

void CMemFile::Flush() {}

void CMemFile::Close() { Abort(); }

void CMemFile::Abort() {
  if (m_bAutoDelete) std::free(m_lpBuffer);
  m_lpBuffer = nullptr;
  m_nBufferSize = 0;
  m_nFileSize = 0;
  m_nPosition = 0;
  m_bAutoDelete = true;
}

BYTE* CMemFile::Detach() {
  BYTE* buffer = m_lpBuffer;
  m_lpBuffer = nullptr;
  m_nBufferSize = 0;
  m_nFileSize = 0;
  m_nPosition = 0;
  m_bAutoDelete = true;
  return buffer;
}
