#ifndef BNSCORE_FORMATS_FORMATERROR_H_
#define BNSCORE_FORMATS_FORMATERROR_H_

#include <cstddef>
#include <stdexcept>
#include <string>

namespace bnscore::formats {

// A network document that cannot be read or written. what() names the
// source and, when known, the line and column: "net.bif:12:5: ...".
class FormatError : public std::runtime_error {
 public:
  explicit FormatError(const std::string& message) : std::runtime_error(message) {}

  // "SOURCE:LINE:COLUMN: MESSAGE".
  static FormatError At(const std::string& source, std::size_t line, std::size_t column,
                        const std::string& message) {
    return FormatError(source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
                       message);
  }
};

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_FORMATERROR_H_
