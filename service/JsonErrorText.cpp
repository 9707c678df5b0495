#include "service/JsonErrorText.h"

#include "bnscore/JsonText.h"

#include <nlohmann/json.hpp>

namespace bnscore::service {

namespace {

// Accepts every event; keeps the first parse error.
class ErrorFinder : public nlohmann::json_sax<nlohmann::json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    message = e.what();
    return false;
  }

  std::string message;
};

}  // namespace

std::string DescribeJsonError(std::string_view body, std::string_view parserMessage) {
  ErrorFinder finder;
  nlohmann::json::sax_parse(body.begin(), body.end(), &finder);
  if (finder.message.empty()) return "malformed JSON: " + std::string(parserMessage);
  // "[json.exception.parse_error.101] parse error at ..." without its tag.
  std::string_view text = finder.message;
  if (!text.empty() && text.front() == '[') {
    const std::size_t end = text.find("] ");
    if (end != std::string_view::npos) text.remove_prefix(end + 2);
  }
  return "malformed JSON: " + std::string(text);
}

void WriteJsonError(std::string& out, int code, std::string_view message) {
  out.clear();
  out.append("{\"error\":{\"code\":");
  AppendJsonInteger(out, code);
  out.append(",\"message\":");
  AppendJsonString(out, message);
  out.append("}}\n");
}

}  // namespace bnscore::service
