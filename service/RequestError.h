#ifndef BNSCORE_SERVICE_REQUESTERROR_H_
#define BNSCORE_SERVICE_REQUESTERROR_H_

#include <stdexcept>
#include <string>

namespace bnscore::service {

// A request the service refuses. GetStatus() is the HTTP status of the
// reply; GetCode() the code of its JSON error object: the HTTP status,
// or the host's fault code for a rejected model document.
class RequestError : public std::runtime_error {
 public:
  RequestError(int status, const std::string& message, int code = 0)
      : std::runtime_error(message), status_(status), code_(code == 0 ? status : code) {}
  int GetStatus() const noexcept { return status_; }
  int GetCode() const noexcept { return code_; }

 private:
  int status_;
  int code_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_REQUESTERROR_H_
