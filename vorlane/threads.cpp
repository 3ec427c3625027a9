// The public thread limit of the pixel passes, kept by the row bands.
#include "vorlane/threads.h"

#include "kernels/parallel/thread_setting.h"

namespace vorlane {

int SetPixelThreads(int threads) { return detail::SetThreadSetting(threads); }

int GetPixelThreads() { return detail::ThreadSetting(); }

}  // namespace vorlane
