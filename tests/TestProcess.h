#ifndef BNSCORE_TESTS_TESTPROCESS_H_
#define BNSCORE_TESTS_TESTPROCESS_H_

// Runs a program as a child process for end-to-end tests, capturing its
// exit status, its output and its peak memory.

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace testprocess {

// A file name in the test temporary folder that no other test process
// uses: ctest runs the tests of a file in parallel processes.
inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + name + "." + std::to_string(::getpid());
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes `text` to TempPath(name) and returns that path.
inline std::string WriteTempFile(const std::string& name, const std::string& text) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// A memory file holding `text`, open for reading from its start; the
// caller closes it.
inline int MemoryFile(const std::string& text) {
  const int fd = ::memfd_create("test_input", 0);
  EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

struct Outcome {
  int status = -1;          // exit status; -1 when the child did not exit
  int signal = 0;           // the signal that ended the child, if one did
  long peakRssKb = 0;       // the child's peak resident set, in KiB
  double seconds = 0.0;     // wall time from start to exit
  double cpuSeconds = 0.0;  // the child's user and system time
  std::string out;
  std::string err;
};

// Runs `program` with `args`, standard input from the file `input`, in the
// current environment; waits for it and collects what it wrote. With a
// nonzero `addressSpaceBytes` the child runs under that RLIMIT_AS. With
// `closedOutput` its standard output is a pipe whose reader has already
// gone (and SIGPIPE has its default action, whatever the test runner's).
inline Outcome Run(const std::string& program, const std::vector<std::string>& args,
                   const std::string& input = "/dev/null", rlim_t addressSpaceBytes = 0,
                   bool closedOutput = false) {
  const std::string outPath = TempPath("process.out");
  const std::string errPath = TempPath("process.err");
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (closedOutput && ::pipe(pipeFds) == 0) ::close(pipeFds[0]);
  Outcome outcome;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    const int in = ::open(input.c_str(), O_RDONLY);
    const int out =
        closedOutput ? pipeFds[1] : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (closedOutput) ::signal(SIGPIPE, SIG_DFL);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0) {
      ::_exit(126);
    }
    struct rlimit limit = {addressSpaceBytes, addressSpaceBytes};
    if (addressSpaceBytes != 0 && ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), environ);
    ::_exit(127);
  }
  if (closedOutput) ::close(pipeFds[1]);
  if (pid > 0) {
    int wstatus = 0;
    struct rusage usage = {};
    ::wait4(pid, &wstatus, 0, &usage);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
    outcome.peakRssKb = usage.ru_maxrss;
    outcome.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  outcome.out = ReadFile(outPath);
  outcome.err = ReadFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return outcome;
}

}  // namespace testprocess

#endif  // BNSCORE_TESTS_TESTPROCESS_H_
