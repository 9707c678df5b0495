#include "service/ServiceRouter.h"

#include <chrono>
#include <cstring>

#include "service/InferenceParameters.h"
#include "service/JsonText.h"
#include "service/ModelRegistry.h"
#include "service/RequestError.h"
#include "service/ServiceMetrics.h"

namespace {

constexpr std::string_view kModelsPrefix = "/models/";
constexpr std::string_view kScoreSuffix = "/score";
constexpr std::string_view kQuerySuffix = "/query";

// The body as a ByteSource.
class TextSource : public bnscore::ByteSource {
 public:
  explicit TextSource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size());
    if (n > 0) std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view text_;
};

constexpr const char* kCsvType = "text/csv; charset=utf-8";

// Appends to the reply's body; with a stream, sends the body as a chunk
// whenever it has grown past kChunkBytes, so that a long reply is never
// held whole.
class ReplySink : public bnscore::ByteSink {
 public:
  static constexpr std::size_t kChunkBytes = 64 * 1024;

  ReplySink(ReplyStream* stream, HttpReply& reply) : stream_(stream), reply_(reply) {}
  void Write(const char* data, std::size_t size) override {
    reply_.body.append(data, size);
    if (stream_ == nullptr || reply_.body.size() < kChunkBytes) return;
    if (!reply_.streamed) {
      stream_->Begin(200, kCsvType);
      reply_.streamed = true;
    }
    stream_->Chunk(reply_.body);
    reply_.body.clear();
  }

 private:
  ReplyStream* stream_;
  HttpReply& reply_;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The media type of a Content-Type value, without parameters or blanks.
std::string_view MediaType(std::string_view contentType) {
  contentType = contentType.substr(0, contentType.find(';'));
  while (!contentType.empty() && (contentType.back() == ' ' || contentType.back() == '\t')) {
    contentType.remove_suffix(1);
  }
  while (!contentType.empty() && (contentType.front() == ' ' || contentType.front() == '\t')) {
    contentType.remove_prefix(1);
  }
  return contentType;
}

// Compares in time that does not depend on where the texts differ.
bool SameSecret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const char g = i < given.size() ? given[i] : '\0';
    difference |= static_cast<unsigned char>(g ^ expected[i]);
  }
  return difference == 0;
}

void MethodNotAllowed(HttpReply& reply, const char* allow) {
  reply.allow = allow;
  throw RequestError(405, std::string("method not allowed; use ") + allow);
}

}  // namespace

ServiceRouter::ServiceRouter(ModelRegistry& registry, ServiceMetrics& metrics, AdminPolicy admin,
                             bnscore::LoadOptions loadOptions)
    : registry_(registry),
      metrics_(metrics),
      admin_(std::move(admin)),
      loadOptions_(std::move(loadOptions)) {}

bool ServiceRouter::IsValidId(std::string_view id) {
  if (id.empty() || id.size() > 128) return false;
  for (char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

void ServiceRouter::Handle(const HttpRequest& request, RequestScratch& scratch,
                           HttpReply& reply) const {
  reply.status = 200;
  reply.contentType = "application/json";
  reply.allow = nullptr;
  reply.streamed = false;
  reply.broken = false;
  reply.body.clear();
  try {
    Route(request, scratch, reply);
  } catch (const RequestError& e) {
    Fail(reply, e.GetStatus(), e.GetCode(), e.what());
  } catch (const std::bad_alloc&) {
    Fail(reply, 503, 503, "out of memory");
  } catch (const std::exception& e) {
    Fail(reply, 500, 500, e.what());
  }
  metrics_.CountResponse(reply.status);
}

void ServiceRouter::Fail(HttpReply& reply, int status, int code, const char* message) {
  if (reply.streamed) {
    reply.broken = true;  // the status line is out: the reply cannot become an error
    return;
  }
  reply.status = status;
  reply.contentType = "application/json";
  WriteJsonError(reply.body, code, message);
}

void ServiceRouter::Route(const HttpRequest& request, RequestScratch& scratch,
                          HttpReply& reply) const {
  std::string_view path = request.target.substr(0, request.target.find('?'));
  if (path == "/health") {
    if (request.method != "GET") MethodNotAllowed(reply, "GET");
    reply.body.append("{\"status\":\"ok\"}\n");
    return;
  }
  if (path == "/metrics") {
    if (request.method != "GET") MethodNotAllowed(reply, "GET");
    reply.contentType = "text/plain; version=0.0.4; charset=utf-8";
    reply.body = metrics_.Render();
    return;
  }
  if (path == "/models") {
    if (request.method != "GET") MethodNotAllowed(reply, "GET");
    reply.body.append("{\"models\":[");
    bool first = true;
    for (const std::string& id : registry_.Ids()) {
      if (!first) reply.body.push_back(',');
      first = false;
      AppendJsonString(reply.body, id);
    }
    reply.body.append("]}\n");
    return;
  }
  if (path.substr(0, kModelsPrefix.size()) == kModelsPrefix) {
    std::string_view rest = path.substr(kModelsPrefix.size());
    const bool score = rest.size() > kScoreSuffix.size() &&
                       rest.substr(rest.size() - kScoreSuffix.size()) == kScoreSuffix;
    if (score) rest.remove_suffix(kScoreSuffix.size());
    const bool query = !score && rest.size() > kQuerySuffix.size() &&
                       rest.substr(rest.size() - kQuerySuffix.size()) == kQuerySuffix;
    if (query) rest.remove_suffix(kQuerySuffix.size());
    if (!IsValidId(rest)) {
      throw RequestError(400, "invalid model id: an id is 1 to 128 letters, digits, '.', '_' or '-'");
    }
    const std::string id(rest);
    if (query) {
      if (request.method != "POST") MethodNotAllowed(reply, "POST");
      HandleQuery(request, id, reply);
    } else if (score) {
      if (request.method != "POST") MethodNotAllowed(reply, "POST");
      HandleScore(request, id, scratch, reply);
    } else {
      HandleModel(request, id, reply);
    }
    return;
  }
  throw RequestError(404, "no such resource: " + std::string(path));
}

void ServiceRouter::HandleModel(const HttpRequest& request, const std::string& id,
                                HttpReply& reply) const {
  if (request.method == "GET") {
    std::shared_ptr<const DeployedModel> model = registry_.Find(id);
    if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
    reply.body.append(model->SchemaJson());
    return;
  }
  if (request.method == "PUT") {
    CheckAdmin(request);
    bool replaced = false;
    try {
      replaced = Deploy(id, request.body);
    } catch (const bnscore::ModelError& e) {
      throw RequestError(422, e.GetMessage(), e.GetCode());
    }
    reply.status = replaced ? 200 : 201;
    reply.body.append("{\"id\":");
    AppendJsonString(reply.body, id);
    reply.body.append(replaced ? ",\"replaced\":true}\n" : ",\"replaced\":false}\n");
    return;
  }
  if (request.method == "DELETE") {
    CheckAdmin(request);
    if (!registry_.Remove(id)) throw RequestError(404, "no model is deployed as \"" + id + "\"");
    reply.body.append("{\"id\":");
    AppendJsonString(reply.body, id);
    reply.body.append(",\"removed\":true}\n");
    return;
  }
  MethodNotAllowed(reply, "GET, PUT, DELETE");
}

void ServiceRouter::HandleScore(const HttpRequest& request, const std::string& id,
                                RequestScratch& scratch, HttpReply& reply) const {
  std::shared_ptr<const DeployedModel> model = registry_.Find(id);
  if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
  const auto start = std::chrono::steady_clock::now();
  std::uint64_t records = 0;
  bool failed = true;
  auto record = [&] {
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    model->GetMetrics().RecordRequest(seconds.count(), failed, records);
  };
  try {
    const std::string_view type = MediaType(request.contentType);
    const InferenceParameters parameters =
        InferenceParameters::Parse(request.target, model->GetModel().GetOptions());
    if (EqualsIgnoringCase(type, "text/csv")) {
      TextSource source(request.body);
      ReplySink sink(request.stream, reply);
      bnscore::CsvOptions options;
      options.evidence = parameters.evidence;
      options.explain = parameters.explain;
      try {
        records = static_cast<std::uint64_t>(
            model->GetModel().ScoreCsv(source, "request body", sink, options).records);
      } catch (const bnscore::Error& e) {
        throw RequestError(400, e.what());
      }
      reply.contentType = kCsvType;
    } else if (type.empty() || EqualsIgnoringCase(type, "application/json")) {
      records = scratch.scorer.Score(*model, request.body, reply.body, parameters.evidence,
                                     parameters.explain);
    } else {
      throw RequestError(415, "unsupported Content-Type \"" + std::string(request.contentType) +
                                  "\": send application/json or text/csv");
    }
  } catch (...) {
    record();
    throw;
  }
  failed = false;
  record();
}

void ServiceRouter::HandleQuery(const HttpRequest& request, const std::string& id,
                                HttpReply& reply) const {
  std::shared_ptr<const DeployedModel> model = registry_.Find(id);
  if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
  if (!EqualsIgnoringCase(MediaType(request.contentType), "text/csv")) {
    throw RequestError(415, "unsupported Content-Type \"" + std::string(request.contentType) +
                                "\": a query takes text/csv");
  }
  const InferenceParameters parameters =
      InferenceParameters::Parse(request.target, model->GetModel().GetOptions());
  if (parameters.nodes.empty()) {
    throw RequestError(400, "a query needs the nodes: ?node=N[,M...]");
  }
  TextSource source(request.body);
  ReplySink sink(request.stream, reply);
  try {
    model->GetModel().QueryCsv(source, "request body", sink, parameters.nodes, ',',
                               parameters.evidence);
  } catch (const bnscore::Error& e) {
    throw RequestError(400, e.what());
  }
  reply.contentType = kCsvType;
}

void ServiceRouter::CheckAdmin(const HttpRequest& request) const {
  if (!admin_.token.empty()) {
    constexpr std::string_view kBearer = "Bearer ";
    const std::string_view given = request.authorization;
    if (given.size() < kBearer.size() || !EqualsIgnoringCase(given.substr(0, kBearer.size()), kBearer) ||
        !SameSecret(given.substr(kBearer.size()), admin_.token)) {
      throw RequestError(401, "this needs the header \"Authorization: Bearer <admin token>\"");
    }
    return;
  }
  if (!admin_.loopbackListener) {
    throw RequestError(403,
                       "deploying and removing models is refused: the service listens on an "
                       "address that is not loopback and has no admin token "
                       "(--admin-token-file)");
  }
}

bool ServiceRouter::Deploy(const std::string& id, std::string_view pmml) const {
  std::unique_ptr<bnscore::Model> model = bnscore::Model::LoadText(pmml, loadOptions_);
  return registry_.Deploy(
      std::make_shared<const DeployedModel>(id, std::move(model), metrics_.ForModel(id)));
}

bool ServiceRouter::DeployFile(const std::string& id, const std::string& path) const {
  std::unique_ptr<bnscore::Model> model = bnscore::Model::Load(path, loadOptions_);
  return registry_.Deploy(
      std::make_shared<const DeployedModel>(id, std::move(model), metrics_.ForModel(id)));
}
