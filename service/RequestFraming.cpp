#include "service/RequestFraming.h"

#include <string_view>
#include <vector>

#include <boost/beast/core/string.hpp>

namespace bnscore::service {

namespace http = boost::beast::http;

namespace {

bool SameWord(std::string_view a, std::string_view b) {
  return boost::beast::iequals(boost::beast::string_view(a.data(), a.size()),
                               boost::beast::string_view(b.data(), b.size()));
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The codings named by every field `name`, in order: the names without
// their parameters, empty list members left out.
std::vector<std::string_view> Codings(const http::fields& fields, http::field name) {
  std::vector<std::string_view> codings;
  const auto range = fields.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) {
    std::string_view value(it->value().data(), it->value().size());
    while (!value.empty()) {
      const std::size_t comma = value.find(',');
      std::string_view item = value.substr(0, comma);
      value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
      item = Trim(item.substr(0, item.find(';')));
      if (!item.empty()) codings.push_back(item);
    }
  }
  return codings;
}

}  // namespace

HeaderFacts ScanHeader(const http::fields& fields) {
  HeaderFacts facts;
  for (const auto& field : fields) {
    switch (field.name()) {
      case http::field::transfer_encoding:
        facts.transferEncoding = true;
        break;
      case http::field::content_encoding:
        facts.contentEncoding = true;
        break;
      case http::field::if_none_match:
        facts.ifNoneMatch = std::string_view(field.value().data(), field.value().size());
        break;
      case http::field::unknown: {
        const auto name = field.name_string();
        if (name.size() == 12 &&
            SameWord(std::string_view(name.data(), name.size()), "X-Request-Id")) {
          facts.requestId = std::string_view(field.value().data(), field.value().size());
        }
        break;
      }
      default:
        break;
    }
  }
  return facts;
}

FramingFault CheckFraming(const http::fields& fields, unsigned version) {
  if (fields.find(http::field::transfer_encoding) == fields.end()) return {};
  const std::vector<std::string_view> codings = Codings(fields, http::field::transfer_encoding);
  if (fields.find(http::field::content_length) != fields.end()) {
    return {400, "a request may not have both Transfer-Encoding and Content-Length"};
  }
  if (version < 11) return {400, "Transfer-Encoding is not allowed in an HTTP/1.0 request"};
  if (codings.empty() || !SameWord(codings.back(), "chunked")) {
    return {400, "the last transfer coding of a request must be chunked"};
  }
  if (codings.size() > 1) {
    return {501, "unsupported transfer coding \"" + std::string(codings.front()) +
                     "\": send the body with Transfer-Encoding: chunked alone"};
  }
  return {};
}

BodyEncoding ContentEncodingOf(const http::fields& fields) {
  if (fields.find(http::field::content_encoding) == fields.end()) return BodyEncoding::kIdentity;
  std::vector<std::string_view> codings = Codings(fields, http::field::content_encoding);
  std::erase_if(codings, [](std::string_view c) { return SameWord(c, "identity"); });
  if (codings.empty()) return BodyEncoding::kIdentity;
  if (codings.size() == 1 && (SameWord(codings[0], "gzip") || SameWord(codings[0], "x-gzip"))) {
    return BodyEncoding::kGzip;
  }
  return BodyEncoding::kUnsupported;
}

}  // namespace bnscore::service
