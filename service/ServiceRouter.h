#ifndef BNSCORE_SERVICE_SERVICEROUTER_H_
#define BNSCORE_SERVICE_SERVICEROUTER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"
#include "service/JsonRecordScorer.h"

namespace bnscore::service {

class AccessLog;
class ModelStore;
class DeployedModel;
class ModelRegistry;
class ServiceMetrics;

// Sends a reply in pieces while it is being made (chunked transfer
// coding), for replies too long to hold whole. The connection implements
// it; Begin and Chunk throw std::runtime_error when the client cannot take
// the bytes within the write timeout or has gone.
class ReplyStream {
 public:
  virtual ~ReplyStream() = default;
  // Sends the status line and the header; once, before the first chunk.
  virtual void Begin(int status, const char* contentType) = 0;
  virtual void Chunk(std::string_view data) = 0;
};

// A request as the router sees it, viewing the server's buffers.
struct HttpRequest {
  std::string_view method;  // "GET", "POST", ...
  std::string_view target;  // path, maybe with a query
  std::string_view contentType;
  std::string_view authorization;
  std::string_view body;
  ReplyStream* stream = nullptr;  // null: every reply is made whole
  std::string_view requestId;     // for the log lines the request causes
  std::string_view ifNoneMatch;   // the ETags of If-None-Match, as sent
};

// The reply the router makes. The server reuses it from request to request
// (the body keeps its capacity).
struct HttpReply {
  int status = 200;
  const char* contentType = "application/json";
  const char* allow = nullptr;  // the Allow header of a 405
  // The reply went out through the request's stream: Begin was called, and
  // `body` holds what remains to be sent as the last chunk.
  bool streamed = false;
  // The reply was streamed but could not be finished (a CSV fault after the
  // first chunk, a failed write): the connection must close without the
  // last chunk, so that the client sees the reply is incomplete.
  bool broken = false;
  std::string body;
  // More header lines, each "\r\nName: value" (ETag, Retry-After, ...).
  std::string headers;
  // For the access log: the model id the request named ("" for none) and
  // the records it scored.
  std::string model;
  std::uint64_t records = 0;
};

// What one server thread keeps from request to request. One per thread.
struct RequestScratch {
  JsonRecordScorer scorer;
};

// Who may deploy and remove models: the holders of the admin token when
// one is set; else anyone when the listener is a loopback address, else
// nobody.
struct AdminPolicy {
  std::string token;  // empty: none set
  bool loopbackListener = true;
};

// Answers the service's requests:
//   GET /health, GET /ready, GET /metrics, GET /openapi.json,
//   GET /models, GET /models/{id}, PUT /models/{id} (a PMML body),
//   DELETE /models/{id}, POST /models/{id}/score (JSON records, or
//   text/csv; ?reason=true says why records were not scored).
// HEAD is answered wherever GET is. Errors are
// {"error":{"code":N,"message":"..."}} with a fitting status.
// A new endpoint is one more branch of Route.
// Holds references to the registry and the metrics, which outlive it;
// Handle may be called from any number of threads at once, each with its
// own RequestScratch.
class ServiceRouter {
 public:
  ServiceRouter(ModelRegistry& registry, ServiceMetrics& metrics, AdminPolicy admin,
                bnscore::LoadOptions loadOptions);

  void Handle(const HttpRequest& request, RequestScratch& scratch, HttpReply& reply) const;

  // Set before serving. The ids that GET /ready waits for (the --model
  // ids); where deploy, replace and delete events are logged (null: not
  // logged); where models deployed over HTTP are kept (null: nowhere).
  // The log and the store must outlive the router.
  void SetRequiredModels(std::vector<std::string> ids) { required_ = std::move(ids); }
  void SetEventLog(bnscore::service::AccessLog* log) { events_ = log; }
  void SetModelStore(bnscore::service::ModelStore* store) { store_ = store; }
  // Set before serving: the threads that score one request's records (a
  // CSV body through Model::ScoreCsv, a JSON batch through Model::Score):
  // the request's own thread and threads - 1 of the model's workers
  // (1: the request's thread alone). The replies do not depend on it.
  void SetScoreThreads(int threads) { scoreThreads_ = threads < 1 ? 1 : threads; }

  // Reads the PMML document `pmml` and deploys it under `id`; returns true
  // when it replaced a model, and gives the deployed model in `deployed`
  // when not null. `source` names where the document came from in the
  // event log. Throws bnscore::ModelError when the document is rejected
  // (the deployed model stays), bnscore::Error otherwise.
  // A network in another format (BIF, XMLBIF, DMG PMML) is read with
  // `target` as its target.
  bool Deploy(const std::string& id, std::string_view pmml, std::string_view source = "http",
              std::shared_ptr<const DeployedModel>* deployed = nullptr,
              const std::string& target = {}) const;
  // The same from a file. Throws bnscore::Error when it cannot be read.
  bool DeployFile(const std::string& id, const std::string& path,
                  const std::string& target = {}) const;
  // The bytes of the file at `path`; throws bnscore::Error naming it.
  static std::string ReadDocumentFile(const std::string& path);

  // True for an id of 1 to 128 letters, digits, '.', '_' and '-', other
  // than "." and "..".
  static bool IsValidId(std::string_view id);
  static constexpr const char* kIdRule =
      "an id is 1 to 128 letters, digits, '.', '_' or '-', and not \".\" or \"..\"";

 private:
  void Route(const HttpRequest& request, RequestScratch& scratch, HttpReply& reply) const;
  // Makes `reply` the error, or marks it broken when it is being streamed.
  static void Fail(HttpReply& reply, int status, int code, const char* message);
  void HandleModel(const HttpRequest& request, const std::string& id, HttpReply& reply) const;
  void HandleScore(const HttpRequest& request, const std::string& id, RequestScratch& scratch,
                   HttpReply& reply) const;
  // POST /models/ID/query?node=N,M: the posteriors of the nodes for each
  // record of the body: CSV (Model::QueryCsv) or JSON (JsonRecordScorer).
  void HandleQuery(const HttpRequest& request, const std::string& id, RequestScratch& scratch,
                   HttpReply& reply) const;
  void CheckAdmin(const HttpRequest& request) const;
  void LogEvent(std::string_view event, std::string_view id, std::string_view requestId,
                std::string_view fields) const;

  ModelRegistry& registry_;
  ServiceMetrics& metrics_;
  AdminPolicy admin_;
  bnscore::LoadOptions loadOptions_;
  std::vector<std::string> required_;
  bnscore::service::AccessLog* events_ = nullptr;
  bnscore::service::ModelStore* store_ = nullptr;
  int scoreThreads_ = 1;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVICEROUTER_H_
