// libFuzzer target: request bodies through the JSON record path of
// `bnscore serve`, scored against the small network of the CLI tests. See
// JsonFuzzHarness.h for what must hold.

#include <cstddef>
#include <cstdint>

#include "fuzz/JsonFuzzHarness.h"

#ifndef BNSCORE_FUZZ_MODEL
#error "BNSCORE_FUZZ_MODEL names the PMML file to score against"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Lives until the process ends.
  static JsonFuzzHarness* harness = new JsonFuzzHarness(BNSCORE_FUZZ_MODEL);
  harness->Run(data, size);
  return 0;
}
