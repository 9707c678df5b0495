#ifndef BNSCORE_FUZZ_PMMLFUZZHARNESS_H_
#define BNSCORE_FUZZ_PMMLFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>

// The reader and scoring path that pmml_fuzzer drives, shared with the
// regression test that replays the inputs it once found failing.
//
// The input is PMML text, optionally followed by a NUL byte and record
// data: lines of cells separated by ',' or ';'. The text goes through the
// host's safe parse and the plug-in's ParseFromTree. When a model results,
// each data line becomes a case record over the data dictionary's field
// names (then the derived fields' names) in order: a cell that reads as a
// number is stored as a number, an empty cell as no value, anything else as
// a text. Every record is scored by position and by name, with and without
// derivedInRecord, handing the same result object back each time, and
// every row scored with status 0 must be whole (one probability per target
// category, adding up to 1, the prediction's equal to the confidence); then the
// model lists its variables by role, is displayed into a discarding stream,
// and everything is deleted.
//
// Returns true when a model was read, false when the document was refused
// with a VkException (an expected outcome). Anything else (another
// exception, a crash, a leak, undefined behaviour) is a fault. An
// XmlPlatform must live while it runs.
bool RunPmmlInput(const std::uint8_t* data, std::size_t size);

#endif  // BNSCORE_FUZZ_PMMLFUZZHARNESS_H_
