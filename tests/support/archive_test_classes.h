// Serializable classes and memory-archive helpers shared by the archive tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/archive.h"

namespace artest {

// One 32-bit value; schema 2.
class CFoo : public CObject {
  DECLARE_SERIAL(CFoo)
 public:
  CFoo() = default;
  explicit CFoo(LONG value) : m_value(value) {}
  void Serialize(CArchive& ar) override {
    ar.IsStoring() ? void(ar << m_value) : void(ar >> m_value);
  }
  LONG m_value = 0;
};

// A word and a string; schema 1.
class CArBar : public CObject {
  DECLARE_SERIAL(CArBar)
 public:
  void Serialize(CArchive& ar) override {
    ar.IsStoring() ? void(ar << m_word << m_text) : void(ar >> m_word >> m_text);
  }
  WORD m_word = 0;
  CString m_text;
};

// A value, a link it does not own (to an object stored before) and a child it owns; counts
// live instances; loading fails after reading the child when the value is kFailOnLoad;
// schema 1.
class CArNode : public CObject {
  DECLARE_SERIAL(CArNode)
 public:
  CArNode() { ++s_live; }
  ~CArNode() override { delete m_child, --s_live; }
  void Serialize(CArchive& ar) override;
  LONG m_value = 0;
  CObject* m_link = nullptr;
  CArNode* m_child = nullptr;
  static inline int s_live = 0;
  static constexpr LONG kFailOnLoad = -99;
};

// Versionable with current schema 3; records what GetObjectSchema gives during Serialize,
// asking after reading its optional owned child.
class CArVersioned : public CObject {
  DECLARE_SERIAL(CArVersioned)
 public:
  ~CArVersioned() override { delete m_child; }
  void Serialize(CArchive& ar) override;
  CArVersioned* m_child = nullptr;
  UINT m_firstSchema = 0, m_secondSchema = 0;
};

// Dynamically creatable but not serializable.
class CArPlain : public CObject {
  DECLARE_DYNCREATE(CArPlain)
};

// Runs body on a storing archive over a memory file; returns the bytes written.
template <typename Body>
std::vector<BYTE> StoreBytes(Body&& body, int bufSize = 4096) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store, bufSize);
    std::forward<Body>(body)(ar);
    ar.Close();
  }
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// The cause of the exception of type E that body raises, or -1.
template <typename E = CArchiveException, typename Body>
int Cause(Body&& body) {
  try {
    body();
  } catch (const E& e) {
    return e.m_cause;
  }
  return -1;
}

// Bytes from pairs of hex digits; spaces separate fields and are skipped.
inline std::vector<BYTE> Hex(std::string_view hex) {
  std::vector<BYTE> out;
  for (size_t i = 0; i + 1 < hex.size(); i += hex[i] == ' ' ? 1 : 2) {
    if (hex[i] != ' ')
      out.push_back(static_cast<BYTE>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

// Concatenated byte lists.
inline std::vector<BYTE> Cat(std::initializer_list<std::vector<BYTE>> parts) {
  std::vector<BYTE> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A loading archive over its own copy of some bytes.
class Loader {
 public:
  explicit Loader(std::vector<BYTE> bytes, int bufSize = 4096)
      : m_bytes(std::move(bytes)),
        m_file(m_bytes.data(), static_cast<UINT>(m_bytes.size())),
        m_ar(&m_file, CArchive::load, bufSize) {}
  CArchive& ar() { return m_ar; }

 private:
  std::vector<BYTE> m_bytes;
  CMemFile m_file;
  CArchive m_ar;
};

}  // namespace artest
