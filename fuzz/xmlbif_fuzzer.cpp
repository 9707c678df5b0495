// libFuzzer target: a document through the xmlbif network reader, and what
// reads back through the writers (see NetworkFuzzHarness.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/NetworkFuzzHarness.h"
#include "host/xml/XmlPlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Lives until the process ends, like the host's own platform.
  static XmlPlatform* platform = new XmlPlatform;
  (void)platform;
  RunNetworkInput(data, size, bnscore::formats::Format::kXmlbif);
  return 0;
}
