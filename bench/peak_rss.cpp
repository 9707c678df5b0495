// peak_rss: runs a command and reports its peak resident memory and its
// wall-clock time, without needing GNU time.
//
//   peak_rss [-o FILE] COMMAND [ARGS...]
//
// Writes "PEAK_KB SECONDS\n" (the child's ru_maxrss in KiB, the elapsed
// time) to FILE, or to standard error without -o. Exits with the
// command's exit status (128 + signal when it was killed, 127 when it could
// not be started).

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  int first = 1;
  const char* outputPath = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
    outputPath = argv[2];
    first = 3;
  }
  if (first < argc && std::strcmp(argv[first], "--") == 0) ++first;
  if (first >= argc) {
    std::fprintf(stderr, "usage: peak_rss [-o FILE] COMMAND [ARGS...]\n");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("peak_rss: fork");
    return 127;
  }
  if (child == 0) {
    execvp(argv[first], argv + first);
    std::fprintf(stderr, "peak_rss: cannot run %s: %s\n", argv[first], std::strerror(errno));
    _exit(127);
  }

  int status = 0;
  struct rusage usage {};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("peak_rss: wait4");
      return 127;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  FILE* out = outputPath ? std::fopen(outputPath, "w") : stderr;
  if (out == nullptr) {
    std::perror("peak_rss: cannot write the report");
    return 127;
  }
  std::fprintf(out, "%ld %.6f\n", usage.ru_maxrss, seconds);
  if (out != stderr) std::fclose(out);

  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}
