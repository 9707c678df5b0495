#include "cli/InputKind.h"

#include <cstddef>
#include <utility>

namespace bnscore::cli {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

InputKind Wide(std::string description) { return {InputKind::Wide, std::move(description)}; }

InputKind Binary(std::string description) { return {InputKind::Binary, std::move(description)}; }

}  // namespace

InputKind ClassifyInput(std::string_view head) {
  using namespace std::string_view_literals;
  if (StartsWith(head, "\x1f\x8b"sv)) return {InputKind::Gzip, {}};
  if (StartsWith(head, "\xff\xfe\x00\x00"sv)) {
    return Wide("looks like UTF-32 text (byte-order mark FF FE 00 00); convert it to UTF-8");
  }
  if (StartsWith(head, "\x00\x00\xfe\xff"sv)) {
    return Wide("looks like UTF-32 text (byte-order mark 00 00 FE FF); convert it to UTF-8");
  }
  if (StartsWith(head, "\xff\xfe"sv)) {
    return Wide("looks like UTF-16 text (byte-order mark FF FE); convert it to UTF-8");
  }
  if (StartsWith(head, "\xfe\xff"sv)) {
    return Wide("looks like UTF-16 text (byte-order mark FE FF); convert it to UTF-8");
  }
  if (StartsWith(head, "PK\x03\x04"sv)) {
    return Binary(
        "looks like a zip archive (an .xlsx workbook is one); unzip it, or save the "
        "sheet as CSV");
  }
  if (StartsWith(head, "\xd0\xcf\x11\xe0"sv)) {
    return Binary("looks like a legacy Office file (.xls); save the sheet as CSV");
  }
  if (StartsWith(head, "BZh"sv) && head.size() >= 4 && head[3] >= '1' && head[3] <= '9') {
    return Binary("looks like bzip2-compressed data; decompress it first (bunzip2), or use gzip");
  }
  if (StartsWith(head,
                 "\xfd"
                 "7zXZ\x00"sv)) {
    return Binary("looks like xz-compressed data; decompress it first (unxz), or use gzip");
  }
  if (StartsWith(head, "\x28\xb5\x2f\xfd"sv)) {
    return Binary("looks like zstd-compressed data; decompress it first (unzstd), or use gzip");
  }
  if (StartsWith(head, "PAR1"sv)) {
    return Binary("looks like a Parquet file; bnscore reads CSV or JSON Lines text");
  }
  std::size_t evenNuls = 0;
  std::size_t oddNuls = 0;
  for (std::size_t i = 0; i < head.size(); ++i) {
    if (head[i] == '\0') ++(i % 2 == 0 ? evenNuls : oddNuls);
  }
  // A stray NUL is data like any other byte (the readers keep it).
  const std::size_t nuls = evenNuls + oddNuls;
  if (nuls == 0 || nuls * 10 < head.size()) return {};
  const std::size_t pairs = head.size() / 2;
  if (pairs > 0 && oddNuls * 2 >= pairs && evenNuls * 10 < pairs) {
    return Wide(
        "looks like UTF-16 text without a byte-order mark (little-endian); convert it "
        "to UTF-8");
  }
  if (pairs > 0 && evenNuls * 2 >= pairs && oddNuls * 10 < pairs) {
    return Wide(
        "looks like UTF-16 text without a byte-order mark (big-endian); convert it to "
        "UTF-8");
  }
  return Binary("looks like binary data, not text (" + std::to_string(evenNuls + oddNuls) +
                " NUL bytes in the first " + std::to_string(head.size()) + ")");
}

}  // namespace bnscore::cli
