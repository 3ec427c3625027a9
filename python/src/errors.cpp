// The library's framework exceptions as Python exceptions: file failures become OSError (or
// FileNotFoundError, PermissionError), archive failures vorlane.ArchiveError, memory failures
// MemoryError; a cancelled call raises vorlane.Cancelled.
#include "binding.h"
#include "platform/exceptions.h"
#include "vorlane/pipeline/paths.h"

namespace vorlane::python {
namespace {

const char* ArchiveCause(int cause) {
  switch (cause) {
    case CArchiveException::endOfFile:
      return "the archive ends too early";
    case CArchiveException::badClass:
      return "the archive holds an unknown or unexpected class";
    case CArchiveException::badSchema:
      return "the archive holds an unknown version of a class";
    case CArchiveException::badIndex:
      return "the archive holds a bad object reference";
    default:
      return "the archive is damaged";
  }
}

void SetFileError(const CFileException& e) {
  PyObject* type = PyExc_OSError;
  const char* what = "file error";
  switch (e.m_cause) {
    case CFileException::fileNotFound:
    case CFileException::badPath:
      type = PyExc_FileNotFoundError;
      what = "no such file";
      break;
    case CFileException::accessDenied:
      type = PyExc_PermissionError;
      what = "permission denied";
      break;
    case CFileException::diskFull:
      what = "disk full";
      break;
    case CFileException::endOfFile:
      what = "unexpected end of file";
      break;
    default:
      break;
  }
  const std::string name = pipeline::Utf8(e.m_strFileName.GetString());
  const std::string message = name.empty() ? std::string(what) : std::string(what) + ": " + name;
  PyErr_SetString(type, message.c_str());
}

}  // namespace

std::string QuotedChoices(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 < names.size() ? ", " : " or ";
    out += "'" + names[i] + "'";
  }
  return out;
}

void BindErrors(py::module_& m) {
  static py::exception<CArchiveException> archiveError(m, "ArchiveError", PyExc_Exception);
  archiveError.doc() = "An archive (a .vlx file or pickled image) cannot be read or written.";
  py::register_exception<CancelledError>(m, "Cancelled", PyExc_Exception).doc() =
      "A long call was cancelled by the image's progress callable.";
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const CArchiveException& e) {
      archiveError(ArchiveCause(e.m_cause));
    } catch (const CFileException& e) {
      SetFileError(e);
    } catch (const CMemoryException&) {
      PyErr_NoMemory();
    }
  });
}

}  // namespace vorlane::python
