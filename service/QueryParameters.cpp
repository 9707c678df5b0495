#include "service/QueryParameters.h"

#include "service/PercentDecoding.h"
#include "service/RequestError.h"

namespace bnscore::service {

QueryParameters QueryParameters::Parse(std::string_view target) {
  QueryParameters parameters;
  const std::size_t mark = target.find('?');
  if (mark == std::string_view::npos) return parameters;
  std::string_view query = target.substr(mark + 1);
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty()) continue;  // "a=1&&b=2"
    const std::size_t equals = pair.find('=');
    QueryParameter parameter;
    parameter.hasValue = equals != std::string_view::npos;
    if (!PercentDecode(pair.substr(0, equals), parameter.name) ||
        (parameter.hasValue && !PercentDecode(pair.substr(equals + 1), parameter.value))) {
      throw RequestError(400, "query parameter " + std::string(pair) +
                                  ": a % must be followed by two hexadecimal digits");
    }
    if (!parameter.hasValue) parameter.value.clear();
    parameters.parameters_.push_back(std::move(parameter));
  }
  return parameters;
}

const QueryParameter* QueryParameters::Find(std::string_view name) const {
  for (const QueryParameter& parameter : parameters_) {
    if (parameter.name == name) return &parameter;
  }
  return nullptr;
}

}  // namespace bnscore::service
