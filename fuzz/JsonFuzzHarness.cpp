#include "fuzz/JsonFuzzHarness.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

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
  return reply_.status;
}
