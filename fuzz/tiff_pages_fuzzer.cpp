// libFuzzer target: each input is read as a TIFF file of pages, every page loaded.
#include <tiffio.h>

#include "page_fuzz_body.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzing::FuzzPageFile<fuzzing::Kind::tiff>(data, size);
}
