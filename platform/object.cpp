// CObject, runtime-class queries and the registry of classes creatable by name.
#include "platform/object.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ClassRegistry {
  std::mutex mutex;
  std::vector<CRuntimeClass*> classes;
};

// Function-local so that registrations from static initialisers of any module find it ready.
ClassRegistry& Registry() {
  static ClassRegistry* registry = new ClassRegistry;  // never destroyed: outlives all modules
  return *registry;
}

}  // namespace

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF,
                                             nullptr, nullptr};

CObject* CRuntimeClass::CreateObject() const {
  return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  if (!base) return FALSE;
  for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
    if (c == base) return TRUE;
  }
  return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(const char* className) {
  if (!className) return nullptr;
  auto& reg = Registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  for (auto it = reg.classes.rbegin(); it != reg.classes.rend(); ++it) {
    if (std::strcmp((*it)->m_lpszClassName, className) == 0) return *it;
  }
  return nullptr;
}

CRuntimeClass* CRuntimeClass::FromName(const wchar_t* className) {
  if (!className) return nullptr;
  std::string narrow;
  for (const wchar_t* p = className; *p; ++p) {
    if (*p > 0x7F) return nullptr;  // class names are plain ASCII
    narrow += static_cast<char>(*p);
  }
  return FromName(narrow.c_str());
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* cls) : m_pClass(cls) {
  auto& reg = Registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  reg.classes.push_back(cls);
}

AFX_CLASSINIT::~AFX_CLASSINIT() {
  auto& reg = Registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = std::find(reg.classes.begin(), reg.classes.end(), m_pClass);
  if (it != reg.classes.end()) reg.classes.erase(it);
}

CRuntimeClass* CObject::GetRuntimeClass() const { return RUNTIME_CLASS(CObject); }

CObject::~CObject() = default;

void CObject::Serialize(CArchive&) {}

void CObject::AssertValid() const {}

void CObject::Dump(CDumpContext&) const {}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const {
  return GetRuntimeClass()->IsDerivedFrom(cls);
}

BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }
