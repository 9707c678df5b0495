#ifndef BNSCORE_SERVICE_QUERYPARAMETERS_H_
#define BNSCORE_SERVICE_QUERYPARAMETERS_H_

#include <string>
#include <string_view>
#include <vector>

namespace bnscore::service {

// One parameter of a request's query, name and value percent-decoded.
struct QueryParameter {
  std::string name;
  std::string value;  // "" when the parameter has no '='
  bool hasValue = false;
};

// The query of a request target ("/models/m/score?missing=marginalize&node=a%2Cb"):
// cut at '&' into parameters and at the first '=' into name and value, and
// then each name and value percent-decoded (PercentDecode: "%2C" is ',', a
// '+' stays a '+'), the same for every parameter. Keeps the parameters in
// their order, repeats included. Parse throws RequestError (400) naming the
// parameter as it was sent when one holds a '%' that is not followed by two
// hexadecimal digits: "query parameter target=dy%7: a % must be followed by
// two hexadecimal digits".
class QueryParameters {
 public:
  static QueryParameters Parse(std::string_view target);

  const std::vector<QueryParameter>& All() const { return parameters_; }
  // The first parameter named `name`, or null.
  const QueryParameter* Find(std::string_view name) const;

 private:
  std::vector<QueryParameter> parameters_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_QUERYPARAMETERS_H_
