// libFuzzer target: an option byte and CSV bytes through the CSV scoring of
// `bnscore score`, scored against the small network of the CLI tests. See
// CsvFuzzHarness.h for the input format.

#include <cstddef>
#include <cstdint>

#include "fuzz/CsvFuzzHarness.h"
#include "host/xml/XmlPlatform.h"

#ifndef BNSCORE_FUZZ_MODEL
#error "BNSCORE_FUZZ_MODEL names the PMML file to score against"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Both live until the process ends.
  static XmlPlatform* platform = new XmlPlatform;
  static CsvFuzzHarness* harness = new CsvFuzzHarness(BNSCORE_FUZZ_MODEL);
  (void)platform;
  harness->Run(data, size);
  return 0;
}
