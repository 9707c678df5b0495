#include "service/GzipBody.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "service/RequestError.h"

namespace bnscore::service {

namespace {

constexpr std::size_t kStep = 64 * 1024;

struct InflateStream {
  z_stream z{};
  InflateStream() {
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();  // gzip only
  }
  ~InflateStream() { inflateEnd(&z); }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
};

}  // namespace

void InflateGzipBody(std::string_view compressed, std::size_t limit, std::string& out) {
  out.clear();
  InflateStream stream;
  z_stream& z = stream.z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  if (compressed.size() != z.avail_in) {
    throw RequestError(413, "the compressed request body is too large");
  }
  for (;;) {
    if (out.size() == limit) {
      // Full: any byte still to come makes the body too large.
      unsigned char probe;
      z.next_out = &probe;
      z.avail_out = 1;
      const int result = inflate(&z, Z_NO_FLUSH);
      if (z.avail_out == 0) {
        throw RequestError(413, "the request body inflates to more than the limit of " +
                                    std::to_string(limit) + " bytes (--max-body)");
      }
      if (result == Z_STREAM_END && z.avail_in == 0) return;
      if (result == Z_STREAM_END) {
        inflateReset(&z);
        continue;
      }
      if (result == Z_OK) continue;  // input read without output, as a trailer
      if (result == Z_BUF_ERROR && z.avail_in == 0) {
        throw RequestError(400, "the gzip request body is cut short");
      }
      throw RequestError(400, "the request body is not valid gzip data (Content-Encoding: gzip)");
    }
    const std::size_t before = out.size();
    const std::size_t grow = std::min(kStep, limit - before);
    out.resize(before + grow);
    z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
    z.avail_out = static_cast<uInt>(grow);
    const int result = inflate(&z, Z_NO_FLUSH);
    out.resize(before + grow - z.avail_out);
    if (result == Z_STREAM_END) {
      if (z.avail_in == 0) return;
      inflateReset(&z);  // another member follows
      continue;
    }
    if (result == Z_OK) continue;
    if (result == Z_BUF_ERROR && z.avail_in == 0) {
      throw RequestError(400, "the gzip request body is cut short");
    }
    throw RequestError(400, "the request body is not valid gzip data (Content-Encoding: gzip)");
  }
}

}  // namespace bnscore::service
