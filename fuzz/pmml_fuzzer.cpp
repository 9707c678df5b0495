// libFuzzer target: PMML text (optionally followed by a NUL byte and record
// lines) through the safe parse, the plug-in's reader and scoring. See
// PmmlFuzzHarness.h for the input format.

#include <cstddef>
#include <cstdint>

#include "fuzz/PmmlFuzzHarness.h"
#include "host/xml/XmlPlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Lives until the process ends, like the host's own platform.
  static XmlPlatform* platform = new XmlPlatform;
  (void)platform;
  RunPmmlInput(data, size);
  return 0;
}
