// libFuzzer target: each input is read as a JPEG picture into the library's images.
#include "page_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzing::FuzzPageFile<fuzzing::Kind::jpeg>(data, size);
}
