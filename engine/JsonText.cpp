#include "bnscore/JsonText.h"

#include <charconv>
#include <cmath>

#include "engine/NumberTextCache.h"
#include "host/text/NumberText.h"

namespace bnscore {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`
// (whose first byte is 0x80 or above), or 0 when it is not one: no
// overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t plain = 0;  // start of the run of bytes copied as they are
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8SequenceLength(text.substr(i));
      if (length > 0) {
        i += length;
        continue;
      }
    } else if (c >= 0x20 && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    out.append(text.data() + plain, i - plain);
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c >= 0x80) {
          out.append("\\ufffd");  // a byte that is not UTF-8
        } else {
          const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          out.append(escape, sizeof escape);
        }
    }
    plain = ++i;
  }
  out.append(text.data() + plain, text.size() - plain);
  out.push_back('"');
}

void AppendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  NumberTextBuffer buffer;
  out += FormatNumberView(value, buffer);
}

void AppendJsonInteger(std::string& out, long long value) {
  char digits[24];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, r.ptr);
}

struct JsonOutcomeWriter::Impl {
  std::vector<std::string> categories;
  bool predictionOnly;
  std::vector<std::string> literals;  // per category: "\"C\""
  std::vector<std::string> keys;      // per category: "\"C\":"
  internal::NumberTextCache numbers;

  // A number seen as NaN or infinite is null.
  void AppendNumber(std::string& out, double value) {
    if (std::isfinite(value)) {
      out += numbers.Format(value);
    } else {
      out += "null";
    }
  }
};

JsonOutcomeWriter::JsonOutcomeWriter(const std::vector<std::string>& categories,
                                     bool predictionOnly)
    : impl_(new Impl{categories, predictionOnly, {}, {}, {}}) {
  for (const std::string& category : categories) {
    std::string literal;
    AppendJsonString(literal, category);
    impl_->keys.push_back(literal + ':');
    impl_->literals.push_back(std::move(literal));
  }
}

JsonOutcomeWriter::~JsonOutcomeWriter() = default;

const std::vector<std::string>& JsonOutcomeWriter::GetCategories() const {
  return impl_->categories;
}

bool JsonOutcomeWriter::IsPredictionOnly() const { return impl_->predictionOnly; }

void JsonOutcomeWriter::Append(const Outcome& outcome, const double* probabilities,
                               std::string& out) {
  Impl& impl = *impl_;
  out += "\"status\":";
  AppendJsonInteger(out, outcome.status);
  out += ",\"prediction\":";
  if (outcome.prediction >= 0 &&
      static_cast<std::size_t>(outcome.prediction) < impl.literals.size()) {
    out += impl.literals[static_cast<std::size_t>(outcome.prediction)];
  } else {
    out += "null";
  }
  if (outcome.status != kScored || impl.predictionOnly) {
    out += ",\"confidence\":null,\"probabilities\":null";
    return;
  }
  out += ",\"confidence\":";
  impl.AppendNumber(out, outcome.confidence);
  out += ",\"probabilities\":{";
  for (std::size_t c = 0; c < impl.keys.size(); ++c) {
    if (c > 0) out += ',';
    out += impl.keys[c];
    impl.AppendNumber(out, probabilities[c]);
  }
  out += '}';
}

}  // namespace bnscore
