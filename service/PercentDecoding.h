#ifndef BNSCORE_SERVICE_PERCENTDECODING_H_
#define BNSCORE_SERVICE_PERCENTDECODING_H_

#include <string>
#include <string_view>

namespace bnscore::service {

// Decodes the %XX escapes of a query value (a '+' stays a '+': the query
// is not a form). Returns false, leaving `out` unspecified, when a '%' is
// not followed by two hexadecimal digits.
bool PercentDecode(std::string_view text, std::string& out);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_PERCENTDECODING_H_
