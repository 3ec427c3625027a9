// CArchive: buffered little-endian scalars, Unicode strings and the tagged object framing.
#include "platform/archive.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "platform/utf8.h"

namespace {

// Object framing tags.
constexpr WORD kNullTag = 0x0000;
constexpr WORD kBigObjectTag = 0x7FFF;  // a 32-bit tag follows
constexpr WORD kClassTag = 0x8000;      // set in short class references
constexpr WORD kNewClassTag = 0xFFFF;
constexpr DWORD kBigClassTag = 0x80000000u;  // set in 32-bit class references
// Indices must leave bit 31 of a 32-bit tag free.
constexpr uint32_t kMaxIndex = 0x7FFFFFFFu;
// Class names of this length or longer are refused.
constexpr size_t kMaxClassName = 64;
// Schema word of classes that are not serializable.
constexpr UINT kNotSerializable = 0xFFFF;
constexpr UINT kNoSchema = static_cast<UINT>(-1);
constexpr size_t kMinBufferSize = 16;
// Largest block handed to the file at once.
constexpr size_t kMaxChunk = size_t{1} << 30;

// Writes v as sizeof(T) little-endian bytes.
template <typename T>
void PutLE(BYTE* out, T v) {
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<BYTE>(v >> (8 * i));
}

// Reads a little-endian unsigned value of sizeof(T) bytes.
template <typename T>
T GetLE(const BYTE* in) {
  T v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>(v | (static_cast<T>(in[i]) << (8 * i)));
  return v;
}

[[noreturn]] void Fail(int cause) { throw CArchiveException(cause); }

// Counts one level of object nesting for as long as it lives.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
  ~DepthGuard() { --m_depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& m_depth;
};

// Appends the UTF-16LE form of s to out.
void AppendUtf16(const std::wstring& s, std::vector<BYTE>& out) {
  const std::u16string units = vorlane::Utf16Units(s.data(), s.size());
  out.reserve(out.size() + 2 * units.size());
  for (const char16_t unit : units) {
    out.push_back(static_cast<BYTE>(unit & 0xFF));
    out.push_back(static_cast<BYTE>(unit >> 8));
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Life cycle and raw blocks

CArchive::CArchive(CFile* file, UINT mode, int bufSize, void*)
    : m_pFile(file), m_nMode(mode), m_nUncaughtAtStart(std::uncaught_exceptions()) {
  if (!file) Fail(CArchiveException::genericException);
  m_buffer.resize(std::max(static_cast<size_t>(std::max(bufSize, 0)), kMinBufferSize));
  m_loadArray.push_back({nullptr, 0, LoadSlot::kNull});
}

CArchive::~CArchive() {
  if (!m_pFile || (m_nMode & bNoFlushOnDelete)) return;
  // While an exception unwinds the stack the content is incomplete: leave it unwritten.
  if (std::uncaught_exceptions() > m_nUncaughtAtStart) return;
  try {
    Flush();
  } catch (...) {
    // A destructor reports nothing; Close reports write errors.
  }
}

void CArchive::RequireLoading() const {
  if (!m_pFile) Fail(CArchiveException::genericException);
  if (IsStoring()) Fail(CArchiveException::writeOnly);
}

void CArchive::RequireStoring() const {
  if (!m_pFile) Fail(CArchiveException::genericException);
  if (IsLoading()) Fail(CArchiveException::readOnly);
}

UINT CArchive::Read(void* buffer, UINT count) {
  RequireLoading();
  if (count == 0) return 0;
  if (!buffer) Fail(CArchiveException::genericException);
  BYTE* dst = static_cast<BYTE*>(buffer);
  UINT done = 0;
  while (done < count) {
    const size_t buffered = m_bufEnd - m_bufPos;
    if (buffered > 0) {
      const size_t n = std::min<size_t>(buffered, count - done);
      std::memcpy(dst + done, m_buffer.data() + m_bufPos, n);
      m_bufPos += n;
      done += static_cast<UINT>(n);
      continue;
    }
    // Large blocks go straight to the caller; small reads refill the buffer.
    const UINT wanted = count - done;
    if (wanted >= m_buffer.size()) {
      const UINT got = m_pFile->Read(dst + done, wanted);
      if (got == 0) break;
      done += got;
      continue;
    }
    m_bufPos = m_bufEnd = 0;
    const UINT got = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    if (got == 0) break;
    m_bufEnd = got;
  }
  return done;
}

void CArchive::ReadExact(void* buffer, UINT count) {
  if (m_pFile && IsLoading() && m_bufEnd - m_bufPos >= count) {
    std::memcpy(buffer, m_buffer.data() + m_bufPos, count);
    m_bufPos += count;
    return;
  }
  if (Read(buffer, count) != count) Fail(CArchiveException::endOfFile);
}

void CArchive::Write(const void* buffer, UINT count) {
  RequireStoring();
  if (count == 0) return;
  if (!buffer) Fail(CArchiveException::genericException);
  const BYTE* src = static_cast<const BYTE*>(buffer);
  if (count > m_buffer.size() - m_bufPos) {
    FlushBuffer();
    // Large blocks go straight to the file.
    if (count >= m_buffer.size()) {
      m_pFile->Write(src, count);
      return;
    }
  }
  std::memcpy(m_buffer.data() + m_bufPos, src, count);
  m_bufPos += count;
}

void CArchive::FlushBuffer() {
  if (m_bufPos == 0) return;
  // The bytes leave the buffer even when the write fails, so they are never written twice.
  const size_t n = m_bufPos;
  m_bufPos = 0;
  m_pFile->Write(m_buffer.data(), static_cast<UINT>(n));
}

void CArchive::Flush() {
  if (!m_pFile) Fail(CArchiveException::genericException);
  if (IsStoring()) {
    FlushBuffer();
    m_pFile->Flush();
    return;
  }
  // Give the bytes read ahead back to the file, so that it stands after what was consumed.
  const size_t unread = m_bufEnd - m_bufPos;
  m_bufPos = m_bufEnd = 0;
  if (unread > 0) m_pFile->Seek(-static_cast<int64_t>(unread), CFile::current);
}

void CArchive::Close() {
  if (!m_pFile) return;
  try {
    Flush();
  } catch (...) {
    m_pFile = nullptr;
    throw;
  }
  m_pFile = nullptr;
}

void CArchive::Abort() {
  m_pFile = nullptr;
  m_bufPos = m_bufEnd = 0;
}

uint64_t CArchive::RemainingForLoad() const {
  if (!m_pFile || IsStoring()) return 0;
  const uint64_t length = m_pFile->GetLength();
  const uint64_t position = m_pFile->GetPosition();
  return (m_bufEnd - m_bufPos) + (length > position ? length - position : 0);
}

// ---------------------------------------------------------------------------------------------
// Scalars

CArchive& CArchive::operator<<(BYTE v) {
  Write(&v, 1);
  return *this;
}

CArchive& CArchive::operator<<(WORD v) {
  BYTE b[2];
  PutLE(b, v);
  Write(b, 2);
  return *this;
}

CArchive& CArchive::operator<<(short v) { return *this << static_cast<WORD>(v); }

CArchive& CArchive::operator<<(DWORD v) {
  BYTE b[4];
  PutLE(b, v);
  Write(b, 4);
  return *this;
}

CArchive& CArchive::operator<<(LONG v) { return *this << static_cast<DWORD>(v); }

CArchive& CArchive::operator<<(float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return *this << static_cast<DWORD>(bits);
}

CArchive& CArchive::operator<<(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  BYTE b[8];
  PutLE(b, bits);
  Write(b, 8);
  return *this;
}

CArchive& CArchive::operator<<(char v) { return *this << static_cast<BYTE>(v); }

CArchive& CArchive::operator<<(wchar_t v) {
  const auto c = static_cast<uint32_t>(v);
  return *this << static_cast<WORD>(c <= 0xFFFF ? c : 0xFFFD);
}

CArchive& CArchive::operator<<(bool v) { return *this << static_cast<BYTE>(v ? 1 : 0); }

CArchive& CArchive::operator>>(BYTE& v) {
  ReadExact(&v, 1);
  return *this;
}

CArchive& CArchive::operator>>(WORD& v) {
  BYTE b[2];
  ReadExact(b, 2);
  v = GetLE<WORD>(b);
  return *this;
}

CArchive& CArchive::operator>>(short& v) {
  WORD w = 0;
  *this >> w;
  v = static_cast<short>(w);
  return *this;
}

CArchive& CArchive::operator>>(DWORD& v) {
  BYTE b[4];
  ReadExact(b, 4);
  v = GetLE<DWORD>(b);
  return *this;
}

CArchive& CArchive::operator>>(LONG& v) {
  DWORD d = 0;
  *this >> d;
  v = static_cast<LONG>(d);
  return *this;
}

CArchive& CArchive::operator>>(float& v) {
  DWORD bits = 0;
  *this >> bits;
  std::memcpy(&v, &bits, sizeof v);
  return *this;
}

CArchive& CArchive::operator>>(double& v) {
  BYTE b[8];
  ReadExact(b, 8);
  const uint64_t bits = GetLE<uint64_t>(b);
  std::memcpy(&v, &bits, sizeof v);
  return *this;
}

CArchive& CArchive::operator>>(char& v) {
  BYTE b = 0;
  *this >> b;
  v = static_cast<char>(b);
  return *this;
}

CArchive& CArchive::operator>>(wchar_t& v) {
  WORD w = 0;
  *this >> w;
  v = static_cast<wchar_t>(w);
  return *this;
}

CArchive& CArchive::operator>>(bool& v) {
  BYTE b = 0;
  *this >> b;
  v = b != 0;
  return *this;
}

// ---------------------------------------------------------------------------------------------
// Strings

void CArchive::WriteString(const CString& s) {
  RequireStoring();
  std::vector<BYTE> units;
  AppendUtf16(s.str(), units);
  const uint64_t n = units.size() / 2;
  // Unicode marker, then the length in code units in the shortest form that holds it.
  *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFE);
  if (n < 0xFF) {
    *this << static_cast<BYTE>(n);
  } else if (n < 0xFFFE) {
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(n);
  } else if (n < 0xFFFFFFFFu) {
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(n);
  } else {
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(0xFFFFFFFFu)
          << static_cast<DWORD>(n & 0xFFFFFFFFu) << static_cast<DWORD>(n >> 32);
  }
  for (size_t done = 0; done < units.size();) {
    const size_t chunk = std::min(units.size() - done, kMaxChunk);
    Write(units.data() + done, static_cast<UINT>(chunk));
    done += chunk;
  }
}

CString CArchive::ReadString() {
  RequireLoading();
  // Length prefix: a byte below FF, else a word below FFFF, else a dword below FFFFFFFF, else
  // a qword. The word FFFE after the first FF marks a Unicode string whose length follows in
  // the same form.
  size_t charSize = 1;
  uint64_t length = 0;
  BYTE b = 0;
  *this >> b;
  if (b < 0xFF) {
    length = b;
  } else {
    WORD w = 0;
    *this >> w;
    bool known = false;
    if (w == 0xFFFE) {
      charSize = 2;
      *this >> b;
      if (b < 0xFF) {
        length = b;
        known = true;
      } else {
        *this >> w;
      }
    }
    if (!known) {
      if (w < 0xFFFF) {
        length = w;
      } else {
        DWORD d = 0;
        *this >> d;
        if (d < 0xFFFFFFFFu) {
          length = d;
        } else {
          DWORD low = 0;
          DWORD high = 0;
          *this >> low >> high;
          length = (static_cast<uint64_t>(high) << 32) | low;
        }
      }
    }
  }
  // Allocate no more than the file can still deliver.
  if (length > RemainingForLoad() / charSize) Fail(CArchiveException::endOfFile);

  std::vector<BYTE> raw(static_cast<size_t>(length) * charSize);
  for (size_t done = 0; done < raw.size();) {
    const size_t chunk = std::min(raw.size() - done, kMaxChunk);
    ReadExact(raw.data() + done, static_cast<UINT>(chunk));
    done += chunk;
  }
  if (charSize == 2)
    return CString(vorlane::WideFromUtf16Le(raw.data(), static_cast<size_t>(length)));
  // 8-bit strings are Latin-1.
  std::wstring s(raw.size(), L'\0');
  std::transform(raw.begin(), raw.end(), s.begin(), [](BYTE c) { return static_cast<wchar_t>(c); });
  return CString(s);
}

// ---------------------------------------------------------------------------------------------
// Object framing

uint32_t CArchive::NextIndex() {
  if (m_nMapCount > kMaxIndex) Fail(CArchiveException::badIndex);
  return m_nMapCount++;
}

void CArchive::WriteObjectTag(uint32_t index) {
  if (index < kBigObjectTag) {
    *this << static_cast<WORD>(index);
  } else {
    *this << kBigObjectTag << static_cast<DWORD>(index);
  }
}

void CArchive::WriteClass(const CRuntimeClass* cls) {
  RequireStoring();
  // Only serializable classes with a name that loading accepts are written.
  if (!cls || cls->m_wSchema == kNotSerializable || !cls->m_lpszClassName) {
    Fail(CArchiveException::badClass);
  }
  const auto known = m_storeMap.find(cls);
  if (known != m_storeMap.end()) {
    const uint32_t index = known->second;
    if (index < kBigObjectTag) {
      *this << static_cast<WORD>(kClassTag | index);
    } else {
      *this << kBigObjectTag << static_cast<DWORD>(kBigClassTag | index);
    }
    return;
  }
  const size_t length = std::strlen(cls->m_lpszClassName);
  if (length == 0 || length >= kMaxClassName) Fail(CArchiveException::badClass);
  m_storeMap.emplace(cls, NextIndex());
  *this << kNewClassTag << static_cast<WORD>(cls->m_wSchema & ~VERSIONABLE_SCHEMA)
        << static_cast<WORD>(length);
  Write(cls->m_lpszClassName, static_cast<UINT>(length));
}

void CArchive::WriteObject(const CObject* object) {
  RequireStoring();
  if (!object) {
    *this << kNullTag;
    return;
  }
  const auto known = m_storeMap.find(object);
  if (known != m_storeMap.end()) {
    WriteObjectTag(known->second);
    return;
  }
  // Never write what loading would refuse as too deep.
  if (m_nDepth >= kMaxObjectDepth) Fail(CArchiveException::genericException);
  WriteClass(object->GetRuntimeClass());
  m_storeMap.emplace(object, NextIndex());
  DepthGuard depth(m_nDepth);
  const_cast<CObject*>(object)->Serialize(*this);
}

CRuntimeClass* CArchive::LoadNewClass(UINT* schema) {
  WORD fileSchema = 0;
  WORD length = 0;
  *this >> fileSchema >> length;
  if (length == 0 || length >= kMaxClassName) Fail(CArchiveException::badClass);
  char name[kMaxClassName];
  ReadExact(name, length);
  name[length] = '\0';
  // An embedded NUL would let a longer name match a registered prefix.
  if (std::memchr(name, '\0', length)) Fail(CArchiveException::badClass);
  CRuntimeClass* cls = CRuntimeClass::FromName(name);
  if (!cls || cls->m_wSchema == kNotSerializable) Fail(CArchiveException::badClass);
  // A versionable class keeps the file's schema for its objects; others must match exactly.
  if ((cls->m_wSchema & ~VERSIONABLE_SCHEMA) != fileSchema &&
      !(cls->m_wSchema & VERSIONABLE_SCHEMA)) {
    Fail(CArchiveException::badSchema);
  }
  if (m_nMapCount > kMaxIndex) Fail(CArchiveException::badIndex);
  m_loadArray.push_back({cls, fileSchema, LoadSlot::kClass});
  ++m_nMapCount;
  *schema = fileSchema;
  return cls;
}

CRuntimeClass* CArchive::ReadTag(const CRuntimeClass* requested, UINT* schema,
                                 uint32_t* objectIndex) {
  WORD tag = 0;
  *this >> tag;
  CRuntimeClass* cls = nullptr;
  UINT fileSchema = kNoSchema;
  if (tag == kNewClassTag) {
    cls = LoadNewClass(&fileSchema);
  } else {
    uint32_t index = 0;
    bool isClass = false;
    if (tag == kBigObjectTag) {
      DWORD big = 0;
      *this >> big;
      isClass = (big & kBigClassTag) != 0;
      index = big & ~kBigClassTag;
    } else {
      isClass = (tag & kClassTag) != 0;
      index = tag & ~kClassTag;
    }
    if (!isClass) {
      *objectIndex = index;
      return nullptr;
    }
    if (index == 0 || index >= m_loadArray.size() || m_loadArray[index].kind != LoadSlot::kClass) {
      Fail(CArchiveException::badIndex);
    }
    cls = static_cast<CRuntimeClass*>(m_loadArray[index].ptr);
    fileSchema = m_loadArray[index].schema;
  }
  if (requested && !cls->IsDerivedFrom(requested)) Fail(CArchiveException::badClass);
  *schema = fileSchema;
  return cls;
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* requested, UINT* schema) {
  RequireLoading();
  UINT fileSchema = kNoSchema;
  uint32_t objectIndex = 0;
  CRuntimeClass* cls = ReadTag(requested, &fileSchema, &objectIndex);
  if (!cls) Fail(CArchiveException::badIndex);  // an object reference where a class belongs
  if (schema) *schema = fileSchema;
  return cls;
}

void CArchive::KillSlotsFrom(size_t index) {
  for (size_t i = index; i < m_loadArray.size(); ++i) {
    if (m_loadArray[i].kind == LoadSlot::kObject) {
      m_loadArray[i].kind = LoadSlot::kDead;
      m_loadArray[i].ptr = nullptr;
    }
  }
}

CObject* CArchive::ReadObject(const CRuntimeClass* requested) {
  return LoadObject(requested, Accept::any);
}

CObject* CArchive::ReadNewObject(const CRuntimeClass* requested) {
  return LoadObject(requested, Accept::newObject);
}

CObject* CArchive::ReadReference(const CRuntimeClass* requested) {
  return LoadObject(requested, Accept::reference);
}

CObject* CArchive::LoadObject(const CRuntimeClass* requested, Accept accept) {
  RequireLoading();
  UINT schema = kNoSchema;
  uint32_t objectIndex = 0;
  CRuntimeClass* cls = ReadTag(requested, &schema, &objectIndex);

  // A reference to an object read before (or being read now).
  if (!cls) {
    if (objectIndex == 0) return nullptr;
    if (accept == Accept::newObject || objectIndex >= m_loadArray.size() ||
        m_loadArray[objectIndex].kind != LoadSlot::kObject) {
      Fail(CArchiveException::badIndex);
    }
    auto* object = static_cast<CObject*>(m_loadArray[objectIndex].ptr);
    if (requested && !object->IsKindOf(requested)) Fail(CArchiveException::badClass);
    return object;
  }

  // A new object: create it, give it the next index, then let it read itself.
  if (accept == Accept::reference) Fail(CArchiveException::badIndex);
  if (!cls->m_pfnCreateObject) Fail(CArchiveException::badClass);
  if (m_nDepth >= kMaxObjectDepth) Fail(CArchiveException::genericException);
  std::unique_ptr<CObject> object(cls->CreateObject());
  if (!object) Fail(CArchiveException::badClass);
  const size_t index = m_loadArray.size();
  if (m_nMapCount > kMaxIndex) Fail(CArchiveException::badIndex);
  m_loadArray.push_back({object.get(), 0, LoadSlot::kObject});
  ++m_nMapCount;

  const UINT outerSchema = m_nObjectSchema;
  m_nObjectSchema = schema;
  try {
    DepthGuard depth(m_nDepth);
    object->Serialize(*this);
  } catch (...) {
    // The object is deleted on the way out, and with it perhaps the objects it read: none of
    // them may be handed out by a later reference.
    m_nObjectSchema = outerSchema;
    KillSlotsFrom(index);
    throw;
  }
  m_nObjectSchema = outerSchema;
  return object.release();
}

UINT CArchive::GetObjectSchema() {
  const UINT schema = m_nObjectSchema;
  m_nObjectSchema = kNoSchema;
  return schema;
}

// ---------------------------------------------------------------------------------------------
// Global operators

CArchive& operator<<(CArchive& ar, const CObject* object) {
  ar.WriteObject(object);
  return ar;
}

CArchive& operator<<(CArchive& ar, const CString& s) {
  ar.WriteString(s);
  return ar;
}

CArchive& operator>>(CArchive& ar, CString& s) {
  s = ar.ReadString();
  return ar;
}

CArchive& operator<<(CArchive& ar, const RECT& r) {
  return ar << r.left << r.top << r.right << r.bottom;
}

CArchive& operator>>(CArchive& ar, RECT& r) { return ar >> r.left >> r.top >> r.right >> r.bottom; }

CArchive& operator<<(CArchive& ar, const POINT& p) { return ar << p.x << p.y; }

CArchive& operator>>(CArchive& ar, POINT& p) { return ar >> p.x >> p.y; }
