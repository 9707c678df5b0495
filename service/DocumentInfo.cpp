#include "service/DocumentInfo.h"

#include <nettle/sha2.h>

#include <cstdio>
#include <ctime>

namespace bnscore::service {

namespace {

// The value of attribute `name` in the first start tag `<element ...>` of
// `text`, with its quotes removed; "" when there is none.
std::string AttributeOf(std::string_view text, std::string_view element, std::string_view name) {
  const std::string open = "<" + std::string(element);
  std::size_t at = 0;
  for (;;) {
    at = text.find(open, at);
    if (at == std::string_view::npos) return "";
    const std::size_t after = at + open.size();
    // "<Header" but not "<HeaderX".
    if (after < text.size() && (text[after] == ' ' || text[after] == '\t' || text[after] == '\n' ||
                                text[after] == '\r' || text[after] == '>' || text[after] == '/')) {
      break;
    }
    at = after;
  }
  const std::size_t end = text.find('>', at);
  std::string_view tag = text.substr(at, end == std::string_view::npos ? text.npos : end - at);
  std::size_t from = 0;
  for (;;) {
    const std::size_t found = tag.find(name, from);
    if (found == std::string_view::npos) return "";
    from = found + name.size();
    const char before = tag[found - 1];
    if (before != ' ' && before != '\t' && before != '\n' && before != '\r') continue;
    std::size_t i = from;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    const char quote = tag[i];
    const std::size_t close = tag.find(quote, i + 1);
    if (close == std::string_view::npos) return "";
    return std::string(tag.substr(i + 1, close - i - 1));
  }
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex.push_back(kHex[byte >> 4]);
    hex.push_back(kHex[byte & 15]);
  }
  return hex;
}

DocumentInfo DescribeDocument(std::string_view pmml) {
  DocumentInfo info;
  info.version = AttributeOf(pmml, "Header", "modelVersion");
  if (info.version.empty()) info.version = AttributeOf(pmml, "Application", "version");
  info.sha256 = Sha256Hex(pmml);
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  info.deployedAt = stamp;
  return info;
}

}  // namespace bnscore::service
