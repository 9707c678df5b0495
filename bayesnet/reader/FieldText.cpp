#include "bayesnet/reader/FieldText.h"

namespace fieldtext {
namespace {

constexpr char kSeparator = ';';
constexpr char kEscape = '\\';
constexpr char kBlank = ' ';

}  // namespace

bool SplitEscaped(std::vector<std::string>& fields, const std::string& text) {
  // The strings already in `fields` are reused, so that splitting row after
  // row allocates nothing once the fields have grown to their sizes.
  std::size_t count = 0;
  auto nextField = [&fields, &count]() -> std::string& {
    if (count == fields.size()) fields.emplace_back();
    std::string& field = fields[count++];
    field.clear();
    return field;
  };
  bool ok = true;
  std::string* field = nullptr;  // the field being read; null after a separator
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const char c = text[i];
    if (c == kSeparator) {
      if (field == nullptr) nextField();  // an empty field
      field = nullptr;
      ++i;
      continue;
    }
    if (field == nullptr) field = &nextField();
    if (c == kEscape) {
      if (i + 1 == size || (text[i + 1] != kEscape && text[i + 1] != kSeparator)) {
        // A bad escape: the rest of the text, as it is, ends the field.
        field->append(text, i, std::string::npos);
        ok = false;
        break;
      }
      *field += text[i + 1];
      i += 2;
      continue;
    }
    std::size_t run = i + 1;  // plain characters up to the next separator or escape
    while (run < size && text[run] != kSeparator && text[run] != kEscape) ++run;
    field->append(text, i, run - i);
    i = run;
  }
  fields.resize(count);
  return ok;
}

std::string TrimBlanks(const std::string& text) {
  std::string trimmed = text;
  TrimBlanksInPlace(trimmed);
  return trimmed;
}

void TrimBlanksInPlace(std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string::npos) return;
  text.erase(text.find_last_not_of(kBlank) + 1);
  text.erase(0, first);
}

}  // namespace fieldtext
