#include "cli/ProgressMeter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace bnscore::cli {

namespace {

// Clears the terminal line from the cursor on.
constexpr char kEraseLine[] = "\r\x1b[K";

void WriteToTerminal(const std::string& text) {
  // A failed write to the terminal only loses the indicator.
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace

ProgressMeter::ProgressMeter(int inputFd, bool enabled, int intervalMs)
    : inputFd_(inputFd),
      interval_(intervalMs),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
  struct stat input;
  if (!enabled || ::isatty(STDERR_FILENO) == 0 || ::fstat(inputFd, &input) != 0 ||
      !S_ISREG(input.st_mode) || input.st_size <= 0) {
    return;
  }
  inputBytes_ = input.st_size;
  shown_ = true;
}

ProgressMeter::~ProgressMeter() { Finish(); }

void ProgressMeter::Tick() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < interval_) return;
  Draw(now);
}

void ProgressMeter::Draw(std::chrono::steady_clock::time_point now) {
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const off_t offset = ::lseek(inputFd_, 0, SEEK_CUR);
  const double done =
      offset > 0 ? static_cast<double>(offset) / static_cast<double>(inputBytes_) : 0.0;
  char text[160];
  const int length =
      std::snprintf(text, sizeof text, "bnscore: %ld records, %.0f records/s, %.0f%% of %.1f MB",
                    records_, seconds > 0 ? static_cast<double>(records_) / seconds : 0.0,
                    done * 100, static_cast<double>(inputBytes_) / 1e6);
  if (done > 0 && done < 1 && length > 0 && static_cast<std::size_t>(length) < sizeof text) {
    const long eta = static_cast<long>(seconds * (1 - done) / done + 0.5);
    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ", ETA %ld:%02ld",
                  eta / 60, eta % 60);
  }
  line_ = kEraseLine;
  line_ += text;
  WriteToTerminal(line_);
  drawn_ = true;
}

void ProgressMeter::Finish() {
  if (!drawn_) return;
  WriteToTerminal(kEraseLine);
  drawn_ = false;
}

}  // namespace bnscore::cli
