#include "service/AccessLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "bnscore/JsonText.h"

namespace bnscore::service {

std::unique_ptr<AccessLog> AccessLog::Open(const std::string& where) {
  if (where == "stderr") return std::unique_ptr<AccessLog>(new AccessLog(STDERR_FILENO, false));
  const int fd = ::open(where.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) {
    throw std::runtime_error("cannot open the access log " + where + ": " + std::strerror(errno));
  }
  return std::unique_ptr<AccessLog>(new AccessLog(fd, true));
}

AccessLog::~AccessLog() {
  if (owned_) ::close(fd_);
}

void AccessLog::StartLine(std::string& line) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm utc{};
  ::gmtime_r(&now.tv_sec, &utc);
  char stamp[40];
  const int length = std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ",
                                   utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                                   utc.tm_min, utc.tm_sec, now.tv_nsec / 1000000);
  line.append("{\"time\":\"");
  line.append(stamp, static_cast<std::size_t>(length));
  line.push_back('"');
}

void AccessLog::Request(const Entry& entry) {
  std::string line;
  line.reserve(256);
  StartLine(line);
  line.append(",\"request_id\":");
  AppendJsonString(line, entry.requestId);
  line.append(",\"method\":");
  AppendJsonString(line, entry.method);
  line.append(",\"path\":");
  AppendJsonString(line, entry.path);
  line.append(",\"model\":");
  if (entry.model.empty()) {
    line.append("null");
  } else {
    AppendJsonString(line, entry.model);
  }
  line.append(",\"status\":");
  line.append(std::to_string(entry.status));
  line.append(",\"records\":");
  line.append(std::to_string(entry.records));
  char latency[32];
  const int length = std::snprintf(latency, sizeof latency, "%.3f", entry.latencySeconds * 1e3);
  line.append(",\"latency_ms\":");
  line.append(latency, static_cast<std::size_t>(length));
  line.push_back('}');
  Write(line);
}

void AccessLog::Event(std::string_view event, std::string_view model, std::string_view fields) {
  std::string line;
  StartLine(line);
  line.append(",\"event\":");
  AppendJsonString(line, event);
  line.append(",\"model\":");
  AppendJsonString(line, model);
  line.append(fields);
  line.push_back('}');
  Write(line);
}

void AccessLog::Write(std::string& line) {
  line.push_back('\n');
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t put = ::write(fd_, rest.data(), rest.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // a log that cannot be written does not stop the service
    rest.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace bnscore::service
