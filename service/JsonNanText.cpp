#include "service/JsonNanText.h"

#include "service/RequestError.h"

namespace bnscore::service {

namespace {

bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// True when `word` starts at `i` of `text` and is a word of its own.
bool WordAt(std::string_view text, std::size_t i, std::string_view word) {
  if (text.substr(i, word.size()) != word) return false;
  if (i > 0 && IsWordByte(text[i - 1])) return false;
  const std::size_t end = i + word.size();
  return end == text.size() || !IsWordByte(text[end]);
}

}  // namespace

bool RewriteJsonNan(std::string_view body, std::string& out) {
  out.clear();
  bool rewritten = false;
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (inString) {
      out.push_back(c);
      if (c == '\\' && i + 1 < body.size()) {
        out.push_back(body[++i]);
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == 'N' && WordAt(body, i, "NaN")) {
      out.append("null");
      i += 2;
      rewritten = true;
      continue;
    } else if (c == 'I' && WordAt(body, i, "Infinity")) {
      throw RequestError(400, "Infinity is not a finite number: send null for a missing value");
    }
    out.push_back(c);
  }
  return rewritten;
}

}  // namespace bnscore::service
