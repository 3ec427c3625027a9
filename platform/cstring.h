// CString: a wide-character string value type.
#pragma once

#include <string>

#include "platform/types.h"

class CString {
 public:
  CString() = default;
  CString(const wchar_t* s) : m_str(s ? s : L"") {}
  CString(const wchar_t* s, int n) : m_str(s ? std::wstring(s, static_cast<size_t>(n)) : L"") {}
  CString(const std::wstring& s) : m_str(s) {}
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const wchar_t* s) {
    m_str = s ? s : L"";
    return *this;
  }

  int GetLength() const { return static_cast<int>(m_str.size()); }
  BOOL IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  operator const wchar_t*() const { return m_str.c_str(); }
  const wchar_t* GetString() const { return m_str.c_str(); }
  wchar_t GetAt(int i) const { return m_str[static_cast<size_t>(i)]; }
  wchar_t operator[](int i) const { return GetAt(i); }

  // Negative, zero or positive as in wcscmp; CompareNoCase folds case first.
  int Compare(const wchar_t* s) const;
  int CompareNoCase(const wchar_t* s) const;
  // Index of the last occurrence of c, -1 when none.
  int ReverseFind(wchar_t c) const;
  // Index of the first occurrence at or after start, -1 when none.
  int Find(wchar_t c, int start = 0) const;
  int Find(const wchar_t* s, int start = 0) const;
  // Substrings; counts are clamped to the string.
  CString Left(int n) const;
  CString Right(int n) const;
  CString Mid(int first) const;
  CString Mid(int first, int n) const;
  CString& MakeLower();
  CString& MakeUpper();
  // printf-style formatting with wide format strings.
  void Format(const wchar_t* format, ...);

  CString& operator+=(const CString& s) {
    m_str += s.m_str;
    return *this;
  }
  CString& operator+=(const wchar_t* s) {
    if (s) m_str += s;
    return *this;
  }
  CString& operator+=(wchar_t c) {
    m_str += c;
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) {
    return CString(a.m_str + b.m_str);
  }
  friend CString operator+(const CString& a, const wchar_t* b) {
    return CString(a.m_str + (b ? b : L""));
  }
  friend CString operator+(const wchar_t* a, const CString& b) {
    return CString((a ? a : L"") + b.m_str);
  }
  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }

  const std::wstring& str() const { return m_str; }

 private:
  std::wstring m_str;
};
