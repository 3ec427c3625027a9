// The object model: CObject, runtime classes with creation by class name, and the
// DECLARE_/IMPLEMENT_ macros that give a class its runtime class.
#pragma once

#include <cstddef>

#include "platform/types.h"

class CArchive;
class CObject;

// Opaque dump target; Dump is accepted and does nothing on this platform.
class CDumpContext {};

#define VERSIONABLE_SCHEMA (0x80000000u)

struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;
  CObject* (*m_pfnCreateObject)();
  CRuntimeClass* m_pBaseClass;

  // A new object of the class; null for classes that are not dynamically creatable.
  CObject* CreateObject() const;
  // Non-zero when this class is base or this class derives from it.
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
  // The registered class of that exact name, null when none.
  static CRuntimeClass* FromName(const char* className);
  static CRuntimeClass* FromName(const wchar_t* className);
};

// Adds a runtime class to the process-wide registry for the lifetime of the module that
// defines it (static initialisation to static destruction).
struct AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* cls);
  ~AFX_CLASSINIT();
  AFX_CLASSINIT(const AFX_CLASSINIT&) = delete;
  AFX_CLASSINIT& operator=(const AFX_CLASSINIT&) = delete;

 private:
  CRuntimeClass* m_pClass;
};

#define RUNTIME_CLASS(class_name) ((CRuntimeClass*)(&class_name::class##class_name))

class CObject {
 public:
  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject();
  virtual void Serialize(CArchive& ar);
  virtual void AssertValid() const;
  virtual void Dump(CDumpContext& dc) const;

  BOOL IsKindOf(const CRuntimeClass* cls) const;
  BOOL IsSerializable() const;

  static const CRuntimeClass classCObject;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define DECLARE_SERIAL(class_name) \
  DECLARE_DYNCREATE(class_name)    \
  friend CArchive& operator>>(CArchive& ar, class_name*& pOb);

#define VORLANE_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew) \
  const CRuntimeClass class_name::class##class_name = {                              \
      #class_name, static_cast<int>(sizeof(class_name)), wSchema, pfnNew,            \
      RUNTIME_CLASS(base_class_name)};                                               \
  CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  VORLANE_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                        \
  CObject* class_name::CreateObject() { return new class_name; }                                \
  VORLANE_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject) \
  static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));

// Needs platform/archive.h where it is used.
#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                                   \
  CObject* class_name::CreateObject() { return new class_name; }                                 \
  VORLANE_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject) \
  static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));                      \
  CArchive& operator>>(CArchive& ar, class_name*& pOb) {                                         \
    pOb = dynamic_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));                   \
    return ar;                                                                                   \
  }
