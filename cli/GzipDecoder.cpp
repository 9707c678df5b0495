#include "cli/GzipDecoder.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/InputKind.h"
#include "bnscore/bnscore.h"

namespace bnscore::cli {

namespace {

std::mutex gFaultMutex;
std::string gLastFault;

constexpr std::size_t kChunk = 64 * 1024;

// Writes all of `data`; false when the reader has gone (or another fault).
bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

GzipDecoder::GzipDecoder(int sourceFd, std::string name)
    : sourceFd_(sourceFd), name_(std::move(name)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw Error("cannot make a pipe for " + name_ + ": " + std::strerror(errno));
  }
  readFd_ = fds[0];
  writeFd_ = fds[1];
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::exception& e) {
    ::close(readFd_);
    ::close(writeFd_);
    throw Error("cannot start reading " + name_ + ": " + e.what());
  }
}

GzipDecoder::~GzipDecoder() {
  ::close(readFd_);  // a thread still writing sees EPIPE and ends
  if (thread_.joinable()) thread_.join();
}

void GzipDecoder::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!fault_.empty()) throw Error(name_ + ": " + fault_);
}

void GzipDecoder::SetFault(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = text;
  }
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gLastFault = name_ + ": " + text;
}

void GzipDecoder::Run() {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    SetFault("cannot start gzip decompression");
    ::close(writeFd_);
    return;
  }
  std::vector<unsigned char> in(kChunk);
  std::vector<unsigned char> out(kChunk);
  bool classified = false;
  bool inMember = false;  // between a member's first byte and its end
  for (;;) {
    const ssize_t got = ::read(sourceFd_, in.data(), in.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      SetFault(std::string("cannot read: ") + std::strerror(errno));
      break;
    }
    if (got == 0) {
      if (inMember) SetFault("the gzip data ends early (the file is cut short)");
      break;
    }
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(got);
    bool stop = false;
    // Until the input is used up and zlib holds no more output.
    do {
      if (stream.avail_in > 0) inMember = true;
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
        SetFault(std::string("the gzip data is corrupt (") +
                 (stream.msg != nullptr ? stream.msg : "inflate failed") + ")");
        stop = true;
        break;
      }
      const std::size_t produced = out.size() - stream.avail_out;
      if (!classified && produced > 0) {
        classified = true;
        const InputKind kind = ClassifyInput(std::string_view(
            reinterpret_cast<const char*>(out.data()), std::min<std::size_t>(produced, 512)));
        if (kind.kind != InputKind::Text) {
          SetFault("decompressed, it " + (kind.kind == InputKind::Gzip
                                              ? std::string("is gzip-compressed again")
                                              : kind.description));
          stop = true;
          break;
        }
      }
      if (produced > 0 && !WriteAll(writeFd_, out.data(), produced)) {
        stop = true;  // the reader stopped reading
        break;
      }
      if (status == Z_STREAM_END) {
        inMember = false;
        inflateReset(&stream);  // another member may follow
      }
    } while (!stop && (stream.avail_in > 0 || stream.avail_out == 0));
    if (stop) break;
  }
  inflateEnd(&stream);
  ::close(writeFd_);
}

std::string InputFault() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  return gLastFault;
}

}  // namespace bnscore::cli
