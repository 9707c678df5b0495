#ifndef BNSCORE_SERVICE_INFERENCEPARAMETERS_H_
#define BNSCORE_SERVICE_INFERENCEPARAMETERS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore::service {

// The query parameters of a scoring or query request that ask for
// inference (docs/inference.md):
//   missing=stop|marginalize, unknown=stop|missing  (both: evidence)
//   explain=K                                       (score, 0..1000)
//   node=N[,M...]                                   (query; repeatable)
// Other parameters are ignored. Names and values are percent-decoded first
// (QueryParameters), so node=a%2Cb names the nodes a and b. Parse throws
// RequestError (400) naming a parameter whose value is not one of these, or
// any parameter with a malformed escape.
struct InferenceParameters {
  std::optional<bnscore::EvidenceOptions> evidence;  // unset: the model's own
  int explain = 0;
  std::vector<std::string> nodes;

  static InferenceParameters Parse(std::string_view target,
                                   const bnscore::LoadOptions& modelOptions);
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_INFERENCEPARAMETERS_H_
