// A downloaded model file of any bytes through DecompressFile: it ends in 0 (unpacked) or
// -6 (refused), never a crash or another result.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_files.h"
#include "modeldb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = fuzzfiles::write("model.gz", data, size);
  const std::string out = fuzzfiles::folder() + "/model";
  int result = DecompressFile(in.c_str(), out.c_str());
  if (result != 0 && result != -6) std::abort();
  return 0;
}
