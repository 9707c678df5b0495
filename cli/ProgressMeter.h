#ifndef BNSCORE_CLI_PROGRESSMETER_H_
#define BNSCORE_CLI_PROGRESSMETER_H_

#include <chrono>
#include <string>

namespace bnscore::cli {

// A one-line progress indicator on standard error while records are read
// from a file:
//   bnscore: 1234567 records, 812345 records/s, 45% of 210 MB, ETA 0:12
// The share is of the input file's bytes read so far. It is shown only when
// standard error is a terminal and the input is a regular file that is not
// empty, redrawn at most 10 times a second, and erased by Finish (or the
// destructor) so that what follows starts on a clean line. Counting a
// record costs an addition, and a clock reading every 256 records.
class ProgressMeter {
 public:
  // `inputFd` is the records' file descriptor, which stays the caller's;
  // `enabled` false keeps the meter off whatever the terminal. The line is
  // redrawn at most every `intervalMs` milliseconds (tests use 0: every
  // check).
  ProgressMeter(int inputFd, bool enabled, int intervalMs = 100);
  ~ProgressMeter();

  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // Counts `records` more records read.
  void Add(long records) {
    records_ += records;
    if (!shown_) return;
    sinceCheck_ += records;
    if (sinceCheck_ < 256) return;
    sinceCheck_ = 0;
    Tick();
  }

  // Erases the line, when one was drawn.
  void Finish();

 private:
  void Tick();
  void Draw(std::chrono::steady_clock::time_point now);

  int inputFd_;
  bool shown_ = false;  // enabled, on a terminal, from a file
  bool drawn_ = false;  // a line is on the terminal
  long long inputBytes_ = 0;
  long records_ = 0;
  long sinceCheck_ = 0;
  std::chrono::milliseconds interval_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::string line_;
};

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_PROGRESSMETER_H_
