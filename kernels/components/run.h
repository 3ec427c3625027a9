// The run record of the component kernels.
#pragma once

namespace vorlane::detail {

// One run of a component: row y, columns xl to xr, both inclusive.
struct Run {
  int y;
  int xl;
  int xr;
};

}  // namespace vorlane::detail
