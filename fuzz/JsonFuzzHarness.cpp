#include "fuzz/JsonFuzzHarness.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

using namespace bnscore::service;

namespace {

[[noreturn]] void Finding(const char* what, std::string_view body, const std::string& reply) {
  std::fprintf(stderr, "%s\nbody: %.*s\nreply: %s\n", what, static_cast<int>(body.size()),
               body.data(), reply.c_str());
  std::abort();
}

// Deeper bodies are left to the first check (nlohmann-json recurses).
bool ShallowEnough(std::string_view body) {
  int depth = 0;
  for (char c : body) {
    if (c == '[' || c == '{') ++depth;
    if (depth > 200) return false;
  }
  return true;
}

}  // namespace

JsonFuzzHarness::JsonFuzzHarness(const std::string& modelPath)
    : router_(registry_, metrics_, AdminPolicy{}, bnscore::LoadOptions{}) {
  router_.DeployFile("m", modelPath);
}

int JsonFuzzHarness::Run(const std::uint8_t* data, std::size_t size) {
  HttpRequest request;
  request.method = "POST";
  request.target = "/models/m/score";
  request.contentType = "application/json";
  request.body = std::string_view(reinterpret_cast<const char*>(data), size);
  router_.Handle(request, scratch_, reply_);

  if (reply_.status != 200 && reply_.status != 400) {
    std::fprintf(stderr, "unexpected status %d: %s\n", reply_.status, reply_.body.c_str());
    std::abort();
  }
  simdjson::dom::element reply;
  if (checker_.parse(reply_.body).get(reply) != simdjson::SUCCESS) {
    std::fprintf(stderr, "the reply is not JSON: %s\n", reply_.body.c_str());
    std::abort();
  }
  if (reply_.status == 200) CheckShape(request.body, reply);
  return reply_.status;
}

void JsonFuzzHarness::CheckShape(std::string_view body, simdjson::dom::element reply) {
  if (!ShallowEnough(body)) return;
  const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded()) {
    // NaN words are read as null; nothing else that is not JSON is scored.
    if (body.find("NaN") == std::string_view::npos) {
      Finding("a body that is not JSON was scored", body, reply_.body);
    }
    return;
  }
  if (!parsed.is_object()) Finding("a body that is no object was scored", body, reply_.body);
  simdjson::dom::array results;
  const bool batch = reply["results"].get_array().get(results) == simdjson::SUCCESS;
  const auto records = parsed.find("records");
  if (records == parsed.end()) {
    if (batch || reply["status"].error() != simdjson::SUCCESS) {
      Finding("a lone record did not get one result", body, reply_.body);
    }
    return;
  }
  if (!records->is_array() || parsed.size() != 1) {
    Finding("a body with \"records\" that is no batch was scored", body, reply_.body);
  }
  if (!batch || results.size() != records->size()) {
    Finding("a batch did not get one result per record", body, reply_.body);
  }
}
