// CString operations that do more than forward to std::wstring.
#include "platform/cstring.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {
std::wstring Folded(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return s;
}
}  // namespace

int CString::Compare(const wchar_t* s) const { return std::wcscmp(m_str.c_str(), s ? s : L""); }

int CString::CompareNoCase(const wchar_t* s) const {
  return Folded(m_str).compare(Folded(s ? s : L""));
}

int CString::ReverseFind(wchar_t c) const {
  const auto pos = m_str.rfind(c);
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t c, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  const auto pos = m_str.find(c, static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* s, int start) const {
  if (!s || start < 0 || start > GetLength()) return -1;
  const auto pos = m_str.find(s, static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int n) const {
  if (n < 0) n = 0;
  if (n > GetLength()) n = GetLength();
  return CString(m_str.substr(0, static_cast<size_t>(n)));
}

CString CString::Right(int n) const {
  if (n < 0) n = 0;
  if (n > GetLength()) n = GetLength();
  return CString(m_str.substr(static_cast<size_t>(GetLength() - n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int n) const {
  if (first < 0) first = 0;
  if (first > GetLength()) first = GetLength();
  if (n < 0) n = 0;
  if (n > GetLength() - first) n = GetLength() - first;
  return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(n)));
}

CString& CString::MakeLower() {
  m_str = Folded(m_str);
  return *this;
}

CString& CString::MakeUpper() {
  for (auto& c : m_str) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return *this;
}

void CString::Format(const wchar_t* format, ...) {
  if (!format) {
    m_str.clear();
    return;
  }
  std::vector<wchar_t> buf(256);
  for (;;) {
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(buf.data(), buf.size(), format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < buf.size()) {
      m_str.assign(buf.data(), static_cast<size_t>(n));
      return;
    }
    // vswprintf reports truncation only as failure: grow until it fits, within reason.
    if (buf.size() >= (1u << 24)) {
      m_str.clear();
      return;
    }
    buf.resize(buf.size() * 4);
  }
}
