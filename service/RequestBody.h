#ifndef BNSCORE_SERVICE_REQUESTBODY_H_
#define BNSCORE_SERVICE_REQUESTBODY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>

namespace bnscore::service {

// Gives back a BodyBuffer's block: a mapping of `mapped` bytes, or (0) an
// array from new[].
struct BodyBlockRelease {
  std::size_t mapped;
  void operator()(char* block) const;
};

// The bytes of a request body, in one block the owner sizes.
//
// Unlike a std::string it can hand out its free space, so that a session
// receives the body from the socket straight into place (FreeSpace), and
// it never zero-fills what it is about to overwrite. Append takes bytes
// that are already in place (the free space's first bytes) without a copy.
// Reserve is the only call that allocates on its own terms; Append grows
// the block (doubling) only when bytes come from elsewhere and do not fit.
// The buffer owns its block; views and free-space pointers stay valid until
// the next Reserve, Append that grows, or the buffer's end.
class BodyBuffer {
 public:
  std::string_view View() const { return {data_.get(), size_}; }
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return capacity_; }
  // Makes room for `capacity` bytes in all (never shrinks).
  void Reserve(std::size_t capacity);
  char* FreeSpace() { return data_.get() + size_; }
  void Append(const char* bytes, std::size_t count);

 private:
  // Blocks of kLargeBlock bytes or more are mapped on their own with all
  // their pages at once: receiving into fresh pages one fault at a time
  // cost the server more than the copy from the socket (a 65 MB body: 16,000
  // faults). Huge pages would cost less still, but may stall the request
  // while the kernel compacts memory for them.
  static constexpr std::size_t kLargeBlock = std::size_t{4} << 20;
  std::unique_ptr<char, BodyBlockRelease> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// A Beast body type over BodyBuffer, for reading requests only. Its
// reader allocates nothing up front: the session reserves the body once
// the server's body budget allows it.
struct RequestBody {
  using value_type = BodyBuffer;

  class reader {
   public:
    template <bool isRequest, class Fields>
    reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body) {}
    void init(const boost::optional<std::uint64_t>&, boost::beast::error_code& ec) { ec = {}; }
    template <class ConstBufferSequence>
    std::size_t put(const ConstBufferSequence& buffers, boost::beast::error_code& ec) {
      std::size_t taken = 0;
      for (auto it = boost::asio::buffer_sequence_begin(buffers);
           it != boost::asio::buffer_sequence_end(buffers); ++it) {
        const boost::asio::const_buffer piece = *it;
        body_.Append(static_cast<const char*>(piece.data()), piece.size());
        taken += piece.size();
      }
      ec = {};
      return taken;
    }
    void finish(boost::beast::error_code& ec) { ec = {}; }

   private:
    value_type& body_;
  };
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_REQUESTBODY_H_
