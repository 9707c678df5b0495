#ifndef BNSCORE_FUZZ_DISCARDSTREAM_H_
#define BNSCORE_FUZZ_DISCARDSTREAM_H_

#include <ostream>
#include <streambuf>

// An output stream that accepts and drops everything, so that the code
// writing to it runs in full (a stream without a buffer would stop at the
// first write).
class DiscardStream : public std::ostream {
 public:
  DiscardStream() : std::ostream(&buffer_) {}

 private:
  class Buffer : public std::streambuf {
   protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  };
  Buffer buffer_;
};

#endif  // BNSCORE_FUZZ_DISCARDSTREAM_H_
