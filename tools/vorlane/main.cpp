// The vorlane command-line tool.
#include <malloc.h>

#include "command_line.h"

int main(int argc, char** argv) {
  // Keep freed page buffers in the heap for the next page instead of returning them to the
  // system: a fresh page of memory costs far more than reusing one.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
  return vorlane::cli::RunCommandLine(argc, argv);
}
