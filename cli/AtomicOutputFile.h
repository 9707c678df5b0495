#ifndef BNSCORE_CLI_ATOMICOUTPUTFILE_H_
#define BNSCORE_CLI_ATOMICOUTPUTFILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace bnscore::cli {

// The file a command writes its output to (-o), replaced only when the run
// succeeds.
//
// "" or "-" is standard output, written as it comes (streamed). A path
// that names a regular file, or nothing yet, is written through a new
// temporary file in the same folder ("." + name + ".XXXXXX"), which Commit
// flushes to disk and renames over the path: a run that fails before
// Commit (an exception, or SIGINT, SIGTERM or SIGHUP, whose
// handler removes the temporary file) leaves the old file as it was, and
// never a half-written one. A symbolic link is followed, so the file it
// points at is replaced and the link kept. The new file gets the old
// file's permission bits, or for a new file those the umask allows. Any
// other kind of file (a device such as /dev/null, a named pipe) is opened
// and written directly.
//
// Owns the descriptor and the temporary file: the destructor closes the one
// and removes the other unless Commit ran. One instance at a time per
// process (the signal handler knows one temporary file).
class AtomicOutputFile {
 public:
  // Creates the temporary file (or opens the device). Throws bnscore::FileError
  // naming `path` when it cannot.
  explicit AtomicOutputFile(const std::string& path);
  ~AtomicOutputFile();

  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  int Get() const { return fd_; }
  // The name for messages: the path as given, or "stdout".
  const std::string& GetName() const { return name_; }

  // Writes all of `text`; throws bnscore::FileError naming the file when it
  // cannot.
  void Write(std::string_view text);
  // Flushes the written bytes to disk, closes the file and renames it over
  // the path. Throws bnscore::FileError when any of that fails (the old file then
  // stays). Standard output is only left open; a second call does nothing.
  void Commit();

 private:
  void Discard() noexcept;

  int fd_ = -1;
  bool owned_ = false;     // fd_ is ours to close
  std::string name_;       // as given
  std::string target_;     // the file renamed over (a link's target)
  std::string temporary_;  // "" when writing directly
  bool committed_ = false;
};

// One file a run reads, for RefuseOutputOverInputs.
struct RunInput {
  std::string role;  // "the input", "the model", ...
  std::string path;  // "-" or "": standard input
};

// Throws bnscore::Error ("the output OUT is ROLE IN") when `outputPath` is the
// same file (device and inode) as one of `inputs`; writing it would destroy
// an input. Standard output ("" or "-") and inputs that do not exist pass.
void RefuseOutputOverInputs(const std::string& outputPath, const std::vector<RunInput>& inputs);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_ATOMICOUTPUTFILE_H_
