// CComp placeholder.
#include "imageclasses/comp.h"

#include "platform/archive.h"

IMPLEMENT_SERIAL(CComp, CObject, VERSIONABLE_SCHEMA | 1)

CComp::CComp() = default;
CComp::~CComp() = default;
void CComp::Serialize(CArchive& ar) { CObject::Serialize(ar); }
