// CComp archive record.
#include "imageclasses/comp.h"
#include "platform/archive.h"

void CComp::Serialize(CArchive& ar) { CObject::Serialize(ar); }
