#ifndef BNSCORE_CLI_LISTTEXT_H_
#define BNSCORE_CLI_LISTTEXT_H_

#include <string>
#include <vector>

namespace bnscore::cli {

// The items of a comma-separated option value, as written (no trimming):
// "NA,N/A" -> {"NA", "N/A"}; "" -> {}; "a,,b" -> {"a", "", "b"}.
inline std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_LISTTEXT_H_
