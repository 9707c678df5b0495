#ifndef BNSCORE_CLI_GZIPDECODER_H_
#define BNSCORE_CLI_GZIPDECODER_H_

#include <mutex>
#include <string>
#include <thread>

namespace bnscore::cli {

// Inflates a gzip stream (one or more members) on a thread of its own into
// a pipe, so that readers of file descriptors read the text. The
// decompressed text is classified as any input is (ClassifyInput): text
// that is not UTF-8 ends the stream with a fault.
//
// A fault (corrupt or truncated data, a read error, refused text) ends the
// text early: Finish, called once the reader has seen the end, throws it;
// InputFault gives it to whoever handles the reader's own error. The
// source descriptor stays the caller's and must stay open while this
// object lives; the pipe is this object's. The destructor stops the thread
// (a reader that stopped early makes its next write fail, which needs
// SIGPIPE ignored, as bnscore does) and joins it; a thread waiting for
// input that does not come (a pipe whose writer neither writes nor closes)
// holds it until it does.
class GzipDecoder {
 public:
  // Starts the thread. `name` is the input's name for messages. Throws
  // bnscore::Error when the pipe or the thread cannot be made.
  GzipDecoder(int sourceFd, std::string name);
  ~GzipDecoder();

  GzipDecoder(const GzipDecoder&) = delete;
  GzipDecoder& operator=(const GzipDecoder&) = delete;

  // The read end of the pipe: the text.
  int Get() const { return readFd_; }

  // Waits for the thread; throws bnscore::Error ("NAME: ...") when it met a
  // fault.
  void Finish();

 private:
  void Run();
  void SetFault(const std::string& text);

  int sourceFd_;
  std::string name_;
  int readFd_ = -1;
  int writeFd_ = -1;  // the thread's, closed by it when it ends
  std::thread thread_;
  std::mutex mutex_;
  std::string fault_;
};

// The fault of the last gzip input that met one ("" when none did): what a
// reader's own error (a row cut short) is really about.
std::string InputFault();

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_GZIPDECODER_H_
