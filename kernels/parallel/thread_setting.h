// The process-wide number of threads a pixel pass over a large page may use.
#pragma once

namespace vorlane::detail {

// Sets the limit (0: one thread per processor core; negative values count as 0) and returns
// the previous one. Safe to call from any thread; passes that start afterwards follow it.
int SetThreadSetting(int threads);

// The current limit (0: one per processor core).
int ThreadSetting();

}  // namespace vorlane::detail
