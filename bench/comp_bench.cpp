// Benchmarks of run-length components on page-sized pixel sets.
#include <benchmark/benchmark.h>

#include "vorlane/vorlane.h"
