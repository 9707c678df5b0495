#include "service/InferenceParameters.h"

#include <charconv>

#include "service/QueryParameters.h"
#include "service/RequestError.h"

namespace bnscore::service {

namespace {

[[noreturn]] void Refuse(std::string_view name, std::string_view value, const char* allowed) {
  throw RequestError(
      400, "query parameter " + std::string(name) + "=" + std::string(value) + ": use " + allowed);
}

}  // namespace

InferenceParameters InferenceParameters::Parse(std::string_view target,
                                               const bnscore::LoadOptions& modelOptions) {
  InferenceParameters parameters;
  bnscore::EvidenceOptions evidence{modelOptions.missing, modelOptions.unknown};
  bool evidenceGiven = false;
  const auto query = bnscore::service::QueryParameters::Parse(target);
  for (const bnscore::service::QueryParameter& parameter : query.All()) {
    const std::string_view name = parameter.name;
    const std::string_view value = parameter.value;
    if (name == "missing") {
      if (value == "marginalize") {
        evidence.missing = bnscore::MissingValues::kMarginalize;
      } else if (value == "stop") {
        evidence.missing = bnscore::MissingValues::kStop;
      } else {
        Refuse(name, value, "stop or marginalize");
      }
      evidenceGiven = true;
    } else if (name == "unknown") {
      if (value == "missing") {
        evidence.unknown = bnscore::UnknownValues::kMissing;
      } else if (value == "stop") {
        evidence.unknown = bnscore::UnknownValues::kStop;
      } else {
        Refuse(name, value, "stop or missing");
      }
      evidenceGiven = true;
    } else if (name == "explain") {
      int k = -1;
      const auto parsed = std::from_chars(value.data(), value.data() + value.size(), k);
      if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() || k < 0 ||
          k > 1000) {
        Refuse(name, value, "a number of reasons from 0 to 1000");
      }
      parameters.explain = k;
    } else if (name == "node") {
      std::string_view list = value;
      while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (comma != 0) parameters.nodes.emplace_back(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
      }
    }
  }
  if (evidenceGiven) parameters.evidence = evidence;
  return parameters;
}

}  // namespace bnscore::service
