#ifndef BNSCORE_SERVICE_ACCESSLOG_H_
#define BNSCORE_SERVICE_ACCESSLOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bnscore::service {

// A log of one JSON object a line, written to standard error or appended
// to a file: a line per answered request,
//   {"time":"2026-01-02T03:04:05.678Z","request_id":"...","method":"POST",
//    "path":"/models/m/score","model":"m","status":200,"records":1,
//    "latency_ms":0.213}
// ("model" null when the request named none), and a line per model event,
//   {"time":"...","event":"deploy","model":"m",...}.
// Each line goes out with one write(2), so that lines of several threads
// never interleave. Safe to use from any number of threads.
class AccessLog {
 public:
  // "stderr", or the path of a file to append to (created with mode 0640
  // when missing). Throws std::runtime_error naming the file when it
  // cannot be opened.
  static std::unique_ptr<AccessLog> Open(const std::string& where);
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  struct Entry {
    std::string_view requestId;
    std::string_view method;
    std::string_view path;
    std::string_view model;  // empty: none
    int status = 0;
    std::uint64_t records = 0;
    double latencySeconds = 0;
  };
  void Request(const Entry& entry);

  // An event line: "event" and "model", then `fields` (members written as
  // JSON, each after a comma, e.g. ",\"sha256\":\"...\""; may be empty).
  void Event(std::string_view event, std::string_view model, std::string_view fields);

 private:
  AccessLog(int fd, bool owned) : fd_(fd), owned_(owned) {}
  void StartLine(std::string& line);
  void Write(std::string& line);

  int fd_;
  bool owned_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_ACCESSLOG_H_
