// The archive tests' serializable classes.
#include "support/archive_test_classes.h"

namespace artest {

IMPLEMENT_SERIAL(CFoo, CObject, 2)
IMPLEMENT_SERIAL(CArBar, CObject, 1)
IMPLEMENT_SERIAL(CArNode, CObject, 1)
IMPLEMENT_SERIAL(CArVersioned, CObject, VERSIONABLE_SCHEMA | 3)
IMPLEMENT_DYNCREATE(CArPlain, CObject)

void CArNode::Serialize(CArchive& ar) {
  if (ar.IsStoring()) return void(ar << m_value << m_link << m_child);
  ar >> m_value;
  m_link = ar.ReadReference(RUNTIME_CLASS(CObject));
  m_child = static_cast<CArNode*>(ar.ReadNewObject(RUNTIME_CLASS(CArNode)));
  if (m_value == kFailOnLoad) throw CArchiveException(CArchiveException::genericException);
}

void CArVersioned::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    m_firstSchema = ar.GetObjectSchema();
    ar << static_cast<BYTE>(m_child ? 1 : 0);
    if (m_child) ar << m_child;
    return;
  }
  BYTE hasChild = 0;
  ar >> hasChild;
  if (hasChild) m_child = static_cast<CArVersioned*>(ar.ReadNewObject(RUNTIME_CLASS(CArVersioned)));
  m_firstSchema = ar.GetObjectSchema();
  m_secondSchema = ar.GetObjectSchema();
}

// Registered and serializable, but without a way to create objects.
static CRuntimeClass g_abstractClass = {"CArAbstract", static_cast<int>(sizeof(CObject)), 1,
                                        nullptr, RUNTIME_CLASS(CObject)};
static const AFX_CLASSINIT g_abstractInit(&g_abstractClass);

}  // namespace artest
