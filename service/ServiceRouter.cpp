#include "service/ServiceRouter.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "service/AccessLog.h"
#include "service/DocumentInfo.h"
#include "service/InferenceParameters.h"
#include "bnscore/JsonText.h"
#include "service/JsonErrorText.h"
#include "service/ModelStore.h"
#include "service/OpenApiText.h"
#include "service/QueryParameters.h"
#include "service/ProcessMetrics.h"
#include "service/ModelRegistry.h"
#include "service/RequestError.h"
#include "service/ServiceMetrics.h"
#include "service/StructureJson.h"

namespace bnscore::service {

namespace {

constexpr std::string_view kModelsPrefix = "/models/";
constexpr std::string_view kScoreSuffix = "/score";
constexpr std::string_view kQuerySuffix = "/query";
constexpr std::string_view kStructureSuffix = "/structure";

constexpr const char* kCsvType = "text/csv; charset=utf-8";
constexpr const char* kJsonType = "application/json";

// Appends to the reply's body; with a stream, sends the body as a chunk
// whenever it has grown past `chunkBytes`, so that a long reply (CSV, or
// a JSON batch) is never held whole.
class ReplySink : public bnscore::ByteSink, public JsonRecordScorer::ReplyFlush {
 public:
  // CSV goes out 64 KiB at a time, as the engine writes it. A JSON reply
  // is streamed only past 1 MiB: shorter ones (1,000 records of most
  // models) go out whole from the event loop, which never holds a thread
  // for a slow client.
  static constexpr std::size_t kCsvChunkBytes = 64 * 1024;
  static constexpr std::size_t kJsonChunkBytes = 1 << 20;

  ReplySink(ReplyStream* stream, HttpReply& reply, const char* contentType, std::size_t chunkBytes)
      : stream_(stream), reply_(reply), contentType_(contentType), chunkBytes_(chunkBytes) {}
  void Write(const char* data, std::size_t size) override {
    reply_.body.append(data, size);
    Flush(reply_.body);
  }
  void Flush(std::string& out) override {
    if (stream_ == nullptr || out.size() < chunkBytes_) return;
    if (!reply_.streamed) {
      stream_->Begin(200, contentType_);
      reply_.streamed = true;
    }
    stream_->Chunk(out);
    out.clear();
  }

 private:
  ReplyStream* stream_;
  HttpReply& reply_;
  const char* contentType_;
  std::size_t chunkBytes_;
};

// The value of `name` in the query of `target`, percent-decoded ("" when
// absent, "true" when it has no value). RequestError (400) for a malformed
// escape in any parameter.
std::string QueryValue(std::string_view target, std::string_view name) {
  const QueryParameters query = QueryParameters::Parse(target);
  const QueryParameter* parameter = query.Find(name);
  if (parameter == nullptr) return {};
  return parameter->hasValue ? parameter->value : "true";
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

bool IsTrue(std::string_view value) {
  return value == "1" || EqualsIgnoringCase(value, "true") || EqualsIgnoringCase(value, "yes");
}

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

// True when the If-None-Match list `given` names `etag` (or is "*").
bool MatchesEtag(std::string_view given, std::string_view etag) {
  while (!given.empty()) {
    const std::size_t comma = given.find(',');
    std::string_view item = given.substr(0, comma);
    given = comma == std::string_view::npos ? std::string_view() : given.substr(comma + 1);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item.substr(0, 2) == "W/") item.remove_prefix(2);  // a weak match is enough for GET
    if (item == "*" || item == etag) return true;
  }
  return false;
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
  // "." and ".." would be path segments that clients normalise away.
  if (id.empty() || id.size() > 128 || id == "." || id == "..") return false;
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
  reply.headers.clear();
  reply.model.clear();
  reply.records = 0;
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
  // HEAD is GET without the body (the server leaves it out).
  const bool get = request.method == "GET" || request.method == "HEAD";
  if (path == "/health") {
    if (!get) MethodNotAllowed(reply, "GET, HEAD");
    reply.body.append("{\"status\":\"ok\"}\n");
    return;
  }
  if (path == "/ready") {
    if (!get) MethodNotAllowed(reply, "GET, HEAD");
    std::string missing;
    for (const std::string& id : required_) {
      if (registry_.Find(id)) continue;
      if (!missing.empty()) missing.append(", ");
      missing.append(id);
    }
    if (!missing.empty()) throw RequestError(503, "not ready: no model is deployed as " + missing);
    reply.body.append("{\"status\":\"ready\"}\n");
    return;
  }
  if (path == "/metrics") {
    if (!get) MethodNotAllowed(reply, "GET, HEAD");
    reply.contentType = "text/plain; version=0.0.4; charset=utf-8";
    reply.body = metrics_.Render();
    AppendProcessMetrics(reply.body);
    return;
  }
  if (path == "/openapi.json") {
    if (!get) MethodNotAllowed(reply, "GET, HEAD");
    reply.body.append(OpenApiText());
    return;
  }
  if (path == "/models") {
    if (!get) MethodNotAllowed(reply, "GET, HEAD");
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
    const bool structure = !score && !query && rest.size() > kStructureSuffix.size() &&
                           rest.substr(rest.size() - kStructureSuffix.size()) == kStructureSuffix;
    if (structure) rest.remove_suffix(kStructureSuffix.size());
    if (!IsValidId(rest)) throw RequestError(400, std::string("invalid model id: ") + kIdRule);
    const std::string id(rest);
    reply.model = id;
    if (structure) {
      if (!get) MethodNotAllowed(reply, "GET, HEAD");
      std::shared_ptr<const DeployedModel> model = registry_.Find(id);
      if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
      reply.body.append(StructureJson(id, model->GetModel()));
    } else if (query) {
      if (request.method != "POST") MethodNotAllowed(reply, "POST");
      HandleQuery(request, id, scratch, reply);
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
  if (request.method == "GET" || request.method == "HEAD") {
    std::shared_ptr<const DeployedModel> model = registry_.Find(id);
    if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
    reply.headers.append("\r\nETag: ").append(model->GetEtag());
    if (MatchesEtag(request.ifNoneMatch, model->GetEtag())) {
      reply.status = 304;  // the client's copy is current
      return;
    }
    reply.body.append(model->SchemaJson());
    return;
  }
  if (request.method == "PUT") {
    CheckAdmin(request);
    // ?target=NODE: a network of another format, read as a classifier of NODE.
    const std::string target = QueryValue(request.target, "target");
    std::shared_ptr<const DeployedModel> deployed;
    bool replaced = false;
    try {
      replaced = Deploy(id, request.body, "http", &deployed, target);
    } catch (const bnscore::ModelError& e) {
      // The reader's hint names the command-line option; over HTTP the
      // target is a query parameter.
      std::string message = e.GetMessage();
      constexpr std::string_view kOptionHint = "(--target NODE)";
      const std::size_t hint = message.rfind(kOptionHint);
      if (target.empty() && hint != std::string::npos) {
        message.replace(hint, kOptionHint.size(), "(PUT /models/" + id + "?target=NODE)");
      }
      throw RequestError(422, message, e.GetCode());
    }
    if (store_ != nullptr) store_->Keep(id, request.body, target);
    reply.status = replaced ? 200 : 201;
    const DocumentInfo& info = deployed->GetInfo();
    reply.body.append("{\"id\":");
    AppendJsonString(reply.body, id);
    reply.body.append(replaced ? ",\"replaced\":true" : ",\"replaced\":false");
    reply.body.append(",\"version\":");
    if (info.version.empty()) {
      reply.body.append("null");
    } else {
      AppendJsonString(reply.body, info.version);
    }
    reply.body.append(",\"sha256\":");
    AppendJsonString(reply.body, info.sha256);
    reply.body.append(",\"deployed_at\":");
    AppendJsonString(reply.body, info.deployedAt);
    reply.body.append("}\n");
    reply.headers.append("\r\nETag: ").append(deployed->GetEtag());
    return;
  }
  if (request.method == "DELETE") {
    CheckAdmin(request);
    if (!registry_.Remove(id)) throw RequestError(404, "no model is deployed as \"" + id + "\"");
    metrics_.RemoveModel(id);
    if (store_ != nullptr) store_->Forget(id);
    LogEvent("delete", id, request.requestId, "");
    reply.body.append("{\"id\":");
    AppendJsonString(reply.body, id);
    reply.body.append(",\"removed\":true}\n");
    return;
  }
  MethodNotAllowed(reply, "GET, HEAD, PUT, DELETE");
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
    const bool reasons = IsTrue(QueryValue(request.target, "reason"));
    const InferenceParameters parameters =
        InferenceParameters::Parse(request.target, model->GetModel().GetOptions());
    if (EqualsIgnoringCase(type, "text/csv")) {
      bnscore::TextSource source(request.body);
      ReplySink sink(request.stream, reply, kCsvType, ReplySink::kCsvChunkBytes);
      bnscore::CsvOptions options;
      options.reason = reasons;
      options.evidence = parameters.evidence;
      options.explain = parameters.explain;
      options.threads = scoreThreads_;
      try {
        records = static_cast<std::uint64_t>(
            model->GetModel().ScoreCsv(source, "request body", sink, options).records);
      } catch (const bnscore::Error& e) {
        throw RequestError(400, e.what());
      }
      reply.contentType = kCsvType;
    } else if (type.empty() || EqualsIgnoringCase(type, "application/json")) {
      ReplySink sink(request.stream, reply, kJsonType, ReplySink::kJsonChunkBytes);
      try {
        records = scratch.scorer.Score(*model, request.body, reply.body, &sink, reasons,
                                       parameters.evidence, parameters.explain, scoreThreads_);
      } catch (const bnscore::Error& e) {
        throw RequestError(400, e.what());
      }
    } else {
      throw RequestError(415, "unsupported Content-Type \"" + std::string(request.contentType) +
                                  "\": send application/json or text/csv");
    }
  } catch (...) {
    record();
    throw;
  }
  failed = false;
  reply.records = records;
  record();
}

void ServiceRouter::HandleQuery(const HttpRequest& request, const std::string& id,
                                RequestScratch& scratch, HttpReply& reply) const {
  std::shared_ptr<const DeployedModel> model = registry_.Find(id);
  if (!model) throw RequestError(404, "no model is deployed as \"" + id + "\"");
  const std::string_view type = MediaType(request.contentType);
  const bool csv = EqualsIgnoringCase(type, "text/csv");
  if (!csv && !type.empty() && !EqualsIgnoringCase(type, "application/json")) {
    throw RequestError(415, "unsupported Content-Type \"" + std::string(request.contentType) +
                                "\": send application/json or text/csv");
  }
  const InferenceParameters parameters =
      InferenceParameters::Parse(request.target, model->GetModel().GetOptions());
  if (parameters.nodes.empty()) {
    throw RequestError(400, "a query needs the nodes: ?node=N[,M...]");
  }
  if (csv) {
    bnscore::TextSource source(request.body);
    ReplySink sink(request.stream, reply, kCsvType, ReplySink::kCsvChunkBytes);
    try {
      model->GetModel().QueryCsv(source, "request body", sink, parameters.nodes, ',',
                                 parameters.evidence);
    } catch (const bnscore::Error& e) {
      throw RequestError(400, e.what());
    }
    reply.contentType = kCsvType;
    return;
  }
  std::vector<int> nodes;
  for (const std::string& name : parameters.nodes) {
    const int node = model->GetModel().FindNode(name);
    if (node < 0) {
      std::string known;
      for (const bnscore::Node& n : model->GetModel().GetNodes()) {
        known += (known.empty() ? "" : ", ") + n.name;
      }
      throw RequestError(400, "no node \"" + name + "\" in the model (its nodes: " + known + ")");
    }
    nodes.push_back(node);
  }
  ReplySink sink(request.stream, reply, kJsonType, ReplySink::kJsonChunkBytes);
  try {
    reply.records =
        scratch.scorer.Query(*model, request.body, reply.body, &sink, nodes, parameters.evidence);
  } catch (const bnscore::Error& e) {
    throw RequestError(400, e.what());
  }
}

void ServiceRouter::CheckAdmin(const HttpRequest& request) const {
  if (!admin_.token.empty()) {
    constexpr std::string_view kBearer = "Bearer ";
    const std::string_view given = request.authorization;
    if (given.size() < kBearer.size() ||
        !EqualsIgnoringCase(given.substr(0, kBearer.size()), kBearer) ||
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

bool ServiceRouter::Deploy(const std::string& id, std::string_view pmml, std::string_view source,
                           std::shared_ptr<const DeployedModel>* deployed,
                           const std::string& target) const {
  bnscore::LoadOptions options = loadOptions_;
  options.target = target;
  std::unique_ptr<bnscore::Model> model = bnscore::Model::LoadText(pmml, options);
  auto made = std::make_shared<const DeployedModel>(id, std::move(model), metrics_.ForModel(id),
                                                    DescribeDocument(pmml));
  const bool replaced = registry_.Deploy(made);
  std::string fields = ",\"source\":";
  AppendJsonString(fields, source);
  fields.append(",\"sha256\":");
  AppendJsonString(fields, made->GetInfo().sha256);
  LogEvent(replaced ? "replace" : "deploy", id, {}, fields);
  if (deployed != nullptr) *deployed = std::move(made);
  return replaced;
}

bool ServiceRouter::DeployFile(const std::string& id, const std::string& path,
                               const std::string& target) const {
  return Deploy(id, ReadDocumentFile(path), path, nullptr, target);
}

std::string ServiceRouter::ReadDocumentFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) throw bnscore::Error("cannot read the model file " + path);
  return text.str();
}

void ServiceRouter::LogEvent(std::string_view event, std::string_view id,
                             std::string_view requestId, std::string_view fields) const {
  if (events_ == nullptr) return;
  std::string all(fields);
  if (!requestId.empty()) {
    all.append(",\"request_id\":");
    AppendJsonString(all, requestId);
  }
  events_->Event(event, id, all);
}

}  // namespace bnscore::service
