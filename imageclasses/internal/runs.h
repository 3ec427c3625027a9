// The runs of a component as the component kernels see them, and back: CComp::tagCompRun
// and the kernels' Run have the same layout, so run arrays pass between them as they are.
#pragma once

#include <cstddef>
#include <type_traits>

#include "imageclasses/comp.h"
#include "kernels/components/run.h"

namespace vorlane::detail {

static_assert(std::is_standard_layout_v<CComp::tagCompRun> && std::is_standard_layout_v<Run>);
static_assert(std::is_trivially_copyable_v<CComp::tagCompRun> && std::is_trivially_copyable_v<Run>);
static_assert(sizeof(CComp::tagCompRun) == sizeof(Run) &&
              alignof(CComp::tagCompRun) == alignof(Run));
static_assert(offsetof(CComp::tagCompRun, y) == offsetof(Run, y) &&
              offsetof(CComp::tagCompRun, xl) == offsetof(Run, xl) &&
              offsetof(CComp::tagCompRun, xr) == offsetof(Run, xr));

// The same array seen as the other record; null stays null.
inline const Run* KernelRuns(const CComp::tagCompRun* runs) {
  return reinterpret_cast<const Run*>(runs);
}
inline Run* KernelRuns(CComp::tagCompRun* runs) { return reinterpret_cast<Run*>(runs); }
inline const CComp::tagCompRun* CompRuns(const Run* runs) {
  return reinterpret_cast<const CComp::tagCompRun*>(runs);
}
inline CComp::tagCompRun* CompRuns(Run* runs) { return reinterpret_cast<CComp::tagCompRun*>(runs); }

}  // namespace vorlane::detail
