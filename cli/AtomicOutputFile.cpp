#include "cli/AtomicOutputFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

namespace {

// The temporary file a signal handler removes: set while one exists.
char gTemporary[PATH_MAX + 1];
volatile std::sig_atomic_t gHaveTemporary = 0;

extern "C" void RemoveTemporaryAndDie(int signal) {
  if (gHaveTemporary) ::unlink(gTemporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Creates the temporary file from `pattern` (mkostemp's) with the signal
// handlers already in place and the handler's path filled in by mkostemp
// itself, so that no signal can find the file without the handler knowing
// its name. Returns the descriptor (-1 on failure, errno set) and sets
// `path` to the file's name.
int CreateTemporaryRemovedOnSignals(const std::string& pattern, std::string& path) {
  if (pattern.size() > PATH_MAX) {  // no handler; the destructor still removes it
    path = pattern;
    return ::mkostemp(path.data(), O_CLOEXEC);
  }
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action.sa_handler = RemoveTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(signal, &action, nullptr);
  }
  std::memcpy(gTemporary, pattern.c_str(), pattern.size() + 1);
  gHaveTemporary = 1;
  const int fd = ::mkostemp(gTemporary, O_CLOEXEC);
  if (fd < 0) {
    gHaveTemporary = 0;
    return -1;
  }
  path = gTemporary;
  return fd;
}

std::string Fault(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// The permission bits a new file gets: 0666 less the umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(const std::string& path) : name_(path) {
  if (path.empty() || path == "-") {
    fd_ = STDOUT_FILENO;
    name_ = "stdout";
    return;
  }
  target_ = path;
  struct stat link;
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (resolved) target_ = resolved.get();
  }
  struct stat existing;
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw FileError(Fault("open", path));
    owned_ = true;
    return;
  }
  const std::size_t slash = target_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  fd_ = CreateTemporaryRemovedOnSignals(folder + "." + base + ".XXXXXX", temporary_);
  if (fd_ < 0) {
    temporary_.clear();
    throw FileError(Fault("create", path));
  }
  owned_ = true;
  if (::fchmod(fd_, exists ? (existing.st_mode & 07777) : NewFileMode()) != 0) {
    const std::string message = Fault("set the permissions of", path);
    Discard();
    throw FileError(message);
  }
}

AtomicOutputFile::~AtomicOutputFile() {
  if (!committed_) Discard();
}

void AtomicOutputFile::Discard() noexcept {
  if (owned_) ::close(fd_);
  owned_ = false;
  if (temporary_.empty()) return;
  gHaveTemporary = 0;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}

void AtomicOutputFile::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError("cannot write " + name_ + ": " + std::strerror(errno));
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

void AtomicOutputFile::Commit() {
  if (committed_ || !owned_) return;
  if (!temporary_.empty() && ::fsync(fd_) != 0) throw FileError(Fault("write", name_));
  const int fd = fd_;
  owned_ = false;
  if (::close(fd) != 0) {
    const std::string message = Fault("write", name_);
    Discard();
    throw FileError(message);
  }
  if (!temporary_.empty()) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
      const std::string message = Fault("replace", name_);
      Discard();
      throw FileError(message);
    }
    gHaveTemporary = 0;
    temporary_.clear();
  }
  committed_ = true;
}

void RefuseOutputOverInputs(const std::string& outputPath, const std::vector<RunInput>& inputs) {
  if (outputPath.empty() || outputPath == "-") return;
  struct stat out;
  if (::stat(outputPath.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return;
  for (const RunInput& input : inputs) {
    struct stat in;
    const bool standardInput = input.path.empty() || input.path == "-";
    if ((standardInput ? ::fstat(STDIN_FILENO, &in) : ::stat(input.path.c_str(), &in)) != 0) {
      continue;
    }
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      throw Error("the output " + outputPath + " is " + input.role + " " +
                  (standardInput ? std::string("(standard input)") : input.path));
    }
  }
}

}  // namespace bnscore::cli
