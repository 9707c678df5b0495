#include "service/ProcessMetrics.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#ifndef BNSCORE_VERSION
#define BNSCORE_VERSION "unknown"
#endif

namespace bnscore::service {

namespace {

void AppendSeries(std::string& out, const char* name, const char* type, const char* help,
                  double value) {
  char number[40];
  std::snprintf(number, sizeof number, "%.17g", value);
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
  out.append(name).append(" ").append(number).append("\n");
}

// The fields of /proc/self/stat after the command name (field 3 onwards).
std::vector<std::string> StatFields() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  const std::size_t close = line.rfind(')');
  std::vector<std::string> fields;
  if (close == std::string::npos) return fields;
  std::istringstream rest(line.substr(close + 1));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

double BootTime() {
  std::ifstream in("/proc/stat");
  for (std::string key; in >> key;) {
    if (key == "btime") {
      double seconds = 0;
      in >> seconds;
      return seconds;
    }
  }
  return 0;
}

}  // namespace

void AppendProcessMetrics(std::string& out) {
  const std::vector<std::string> stat = StatFields();
  const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  const double page = static_cast<double>(::sysconf(_SC_PAGESIZE));
  // Fields 14 utime, 15 stime, 22 starttime, 23 vsize, 24 rss (from 3).
  if (stat.size() > 21 && ticks > 0) {
    AppendSeries(out, "process_cpu_seconds_total", "counter",
                 "Total user and system CPU time spent in seconds.",
                 (std::stod(stat[11]) + std::stod(stat[12])) / ticks);
    const double boot = BootTime();
    if (boot > 0) {
      AppendSeries(out, "process_start_time_seconds", "gauge",
                   "Start time of the process since unix epoch in seconds.",
                   boot + std::stod(stat[19]) / ticks);
    }
    AppendSeries(out, "process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
                 std::stod(stat[20]));
    AppendSeries(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
                 std::stod(stat[21]) * page);
  }
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    double open = 0;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] != '.') ++open;
    }
    ::closedir(dir);
    AppendSeries(out, "process_open_fds", "gauge", "Number of open file descriptors.",
                 open - 1);  // less the one reading the directory
  }
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    AppendSeries(out, "process_max_fds", "gauge", "Maximum number of open file descriptors.",
                 static_cast<double>(limit.rlim_cur));
  }
  out.append(
      "# HELP bnscore_build_info The bnscore version that serves, as a label.\n"
      "# TYPE bnscore_build_info gauge\n"
      "bnscore_build_info{version=\"" BNSCORE_VERSION "\"} 1\n");
}

}  // namespace bnscore::service
