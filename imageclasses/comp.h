// CComp: a run-length connected component (placeholder until the component class lands).
#pragma once

#include "platform/object.h"

class CImage;

class CComp : public CObject {
  DECLARE_SERIAL(CComp)

 public:
  CComp();
  ~CComp() override;
  void Serialize(CArchive& ar) override;
};
