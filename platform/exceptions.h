// The framework's exception classes, thrown by value and caught by reference.
#pragma once

#include <exception>

#include "platform/cstring.h"

class CException : public std::exception {
 public:
  const char* what() const noexcept override { return "CException"; }
};

class CMemoryException : public CException {
 public:
  const char* what() const noexcept override { return "CMemoryException"; }
};

class CFileException : public CException {
 public:
  enum {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };
  CFileException(int cause = none, const wchar_t* fileName = nullptr)
      : m_cause(cause), m_strFileName(fileName) {}
  const char* what() const noexcept override { return "CFileException"; }

  int m_cause;
  CString m_strFileName;
};

class CArchiveException : public CException {
 public:
  enum {
    none = 0,
    genericException = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
    bufferFull = 8
  };
  explicit CArchiveException(int cause = none) : m_cause(cause) {}
  const char* what() const noexcept override { return "CArchiveException"; }

  int m_cause;
};
