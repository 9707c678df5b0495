#include "bayesnet/reader/FieldText.h"

namespace fieldtext {
namespace {

constexpr char kSeparator = ';';
constexpr char kEscape = '\\';
constexpr char kBlank = ' ';

}  // namespace

bool SplitEscaped(std::vector<std::string>& fields, const std::string& text) {
  fields.clear();
  std::string s = text;  // escapes are removed in place
  bool ok = true;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool last = i + 1 == s.size();
    if (s[i] == kEscape) {
      if (last || (s[i + 1] != kEscape && s[i + 1] != kSeparator)) {
        ok = false;
        break;
      }
      // The escaped character moves to i and is passed over as a literal.
      s.erase(i, 1);
    } else if (s[i] == kSeparator) {
      fields.push_back(s.substr(start, i - start));
      start = i + 1;
    } else if (last) {
      fields.push_back(s.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < s.size()) fields.push_back(s.substr(start));
  return ok;
}

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string::npos) return text;
  const std::size_t last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

}  // namespace fieldtext
