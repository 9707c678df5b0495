#ifndef BNSCORE_FORMATS_DECIMAL_H_
#define BNSCORE_FORMATS_DECIMAL_H_

#include <optional>
#include <string>
#include <string_view>

namespace bnscore::formats {

// Appends the shortest decimal text that reads back as `value` exactly
// (0.1 as "0.1", 1e-05 as "1e-05").
void AppendDecimal(double value, std::string& out);

// The number a whole text spells (leading '+' and surrounding blanks
// allowed), or nothing when it is not one number.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_DECIMAL_H_
