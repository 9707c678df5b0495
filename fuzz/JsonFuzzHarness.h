#ifndef BNSCORE_FUZZ_JSONFUZZHARNESS_H_
#define BNSCORE_FUZZ_JSONFUZZHARNESS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "service/ModelRegistry.h"
#include "service/ServiceMetrics.h"
#include "service/ServiceRouter.h"

// Drives request bodies through the JSON record path of `bnscore serve`
// (router, JSON parser, record reading, scoring, reply writing) against a
// fixed model, as POST /models/m/score. Every body must get either a 200
// whose reply is valid JSON, or a 400 with a JSON error; anything else, or
// a reply that is not JSON, aborts (a finding). A 200 must also score the
// body record for record, as a second JSON parser (nlohmann-json) reads
// it: an object with a member "records" holding an array gets one result
// per element, any other object one result; a body that parser finds no
// object (or not JSON, unless it has NaN words) must not get a 200.
class JsonFuzzHarness {
 public:
  explicit JsonFuzzHarness(const std::string& modelPath);

  // Returns the HTTP status the body got.
  int Run(const std::uint8_t* data, std::size_t size);

 private:
  // Aborts when a 200 reply does not score `body` record for record.
  void CheckShape(std::string_view body, simdjson::dom::element reply);

 public:
 private:
  bnscore::service::ServiceMetrics metrics_;
  bnscore::service::ModelRegistry registry_;
  bnscore::service::ServiceRouter router_;
  bnscore::service::RequestScratch scratch_;
  bnscore::service::HttpReply reply_;
  simdjson::dom::parser checker_;
};

#endif  // BNSCORE_FUZZ_JSONFUZZHARNESS_H_
