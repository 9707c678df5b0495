#ifndef BNSCORE_ENGINE_CLIERROR_H_
#define BNSCORE_ENGINE_CLIERROR_H_

#include <stdexcept>
#include <string>

// A usage, file, plug-in or CSV fault of the scorer. The message says what
// went wrong and where (a file name, with a line number for CSV input);
// main prints it after "bnscore: " and exits with status 1.
class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

// A write failed because the reader of the output went away (a closed
// pipe, EPIPE). Not a fault of the run: front ends end quietly.
class OutputClosed : public CliError {
 public:
  explicit OutputClosed(const std::string& message) : CliError(message) {}
};

#endif  // BNSCORE_ENGINE_CLIERROR_H_
