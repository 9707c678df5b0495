#ifndef BNSCORE_SERVICE_PROCESSMETRICS_H_
#define BNSCORE_SERVICE_PROCESSMETRICS_H_

#include <string>

namespace bnscore::service {

// Appends the process's own series in the Prometheus text format, as
// exporters conventionally name them: process_cpu_seconds_total,
// process_resident_memory_bytes, process_virtual_memory_bytes,
// process_open_fds, process_max_fds, process_start_time_seconds, and
// bnscore_build_info{version="..."} 1. Read from /proc at each call; a
// series whose figure cannot be read is left out.
void AppendProcessMetrics(std::string& out);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_PROCESSMETRICS_H_
