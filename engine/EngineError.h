#ifndef BNSCORE_ENGINE_ENGINEERROR_H_
#define BNSCORE_ENGINE_ENGINEERROR_H_

#include <stdexcept>
#include <string>

namespace bnscore::internal {

// A usage, file, plug-in or CSV fault met by the engine or a front end.
// The message says what went wrong and where (a file name, with a line
// number for CSV input); bnscore prints it after "bnscore: " and exits
// with status 1, and the public API rethrows it as bnscore::Error.
class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

// A write failed because the reader of the output went away (a closed
// pipe, EPIPE). Not a fault of the run: front ends end quietly.
class OutputClosed : public EngineError {
 public:
  explicit OutputClosed(const std::string& message) : EngineError(message) {}
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_ENGINEERROR_H_
