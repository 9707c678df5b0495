#ifndef BNSCORE_FUZZ_NETWORKFUZZHARNESS_H_
#define BNSCORE_FUZZ_NETWORKFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>

#include "formats/NetworkReader.h"

// One fuzz input for a network reader: the bytes are read as a document of
// `format`. A network that reads is written as the scorer's PMML (its last
// variable the target), as XMLBIF and as BIF, and each is read back, which
// must give the same states and tables again; a difference aborts. A
// refused document must be refused with FormatError only. Needs a live
// XmlPlatform.
void RunNetworkInput(const std::uint8_t* data, std::size_t size, bnscore::formats::Format format);

#endif  // BNSCORE_FUZZ_NETWORKFUZZHARNESS_H_
