// How many threads a pixel pass over a large page may use.
#pragma once

namespace vorlane {

// Passes over large pages (conversions, thresholds, filters, rotation, display transfers)
// split their rows among up to `threads` threads, the calling thread included; 0 means one per
// processor core (the default) and 1 keeps every pass on the calling thread. Results are the
// same for every setting. Negative values count as 0. Returns the previous setting.
// Process-wide; safe to call from any thread, applies to passes that start afterwards.
int SetPixelThreads(int threads);

// The current setting (0: one per processor core).
int GetPixelThreads();

}  // namespace vorlane
