#include "service/ServeCommandLine.h"

namespace bnscore::service {

namespace {

const char kServeFooter[] = R"(Endpoints (JSON unless said otherwise):
  GET    /health               {"status":"ok"} while the process runs
  GET    /ready                200 once every --model is deployed, else 503
  GET    /metrics              Prometheus text: responses, per model
                               requests, errors, records, latency; process_*
  GET    /openapi.json         the endpoints described (OpenAPI 3.0)
  GET    /models               {"models":[ID,...]}
  GET    /models/ID            the schema, version, sha256, deployed_at; ETag
  PUT    /models/ID            deploy or replace (body: PMML), atomically
                               (?target=NODE: a BIF, XMLBIF or DMG body)
  DELETE /models/ID            remove
  POST   /models/ID/score      one record {"field":value,...} or
                               {"records":[...]}; with Content-Type:
                               text/csv, the CSV of `bnscore score`
                               (?reason=true: why a record got no score)
HEAD works wherever GET does. Bodies may be sent with Content-Encoding:
gzip. Errors: {"error":{"code":N,"message":"..."}}; 422 carries the host's
code. Every reply carries X-Request-Id (the request's, or a new one).

SIGHUP reads the --model files again and replaces each changed model; a
rejected file leaves its old model serving (one log line per model).

PUT and DELETE need "Authorization: Bearer TOKEN" when --admin-token-file
is given; without it they are refused unless the listener is loopback.

Exit status: 0 after SIGTERM or SIGINT drained the requests in flight;
1 usage, file, plug-in or listen error (or a drain cut short by its
timeout); 2 a --model document was rejected.)";

// CLI11 validator and converter for milliseconds given in seconds.
void AddSeconds(CLI::App& serve, const std::string& name, std::chrono::milliseconds& target,
                const std::string& help) {
  serve
      .add_option_function<double>(
          name,
          [&target](double seconds) {
            target = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
          },
          help + " (default " + std::to_string(target.count() / 1000) + ")")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, 86400.0));
}

}  // namespace

CLI::App* AddServeCommand(CLI::App& app, ServeArguments& arguments) {
  CLI::App* serve = app.add_subcommand("serve", "Serve models over HTTP: a REST scoring service");
  serve->footer(kServeFooter);
  serve
      ->add_option("--listen", arguments.listen,
                   "Address and port to listen on: ADDR:PORT, [IPv6]:PORT, "
                   "localhost:PORT, :PORT (all IPv4 addresses) or PORT (127.0.0.1); "
                   "default 127.0.0.1:8080; port 0: any")
      ->type_name("ADDR:PORT");
  serve
      ->add_option("--model", arguments.models,
                   "Deploy the PMML file PATH as ID (repeatable); ID=PATH#NODE deploys a "
                   "network in BIF, XMLBIF or DMG PMML with NODE as its target")
      ->type_name("ID=PATH[#NODE]");
  serve->add_option("--threads", arguments.server.threads, "Server threads (default 2)")
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  serve
      ->add_option("--score-threads", arguments.scoreThreads,
                   "Threads that score one request's records (a CSV body, a JSON batch): the "
                   "request's server thread and N-1 of the model's scoring threads; the reply "
                   "is the same for any N (default 1)")
      ->type_name("N")
      ->check(CLI::Range(1, 256));
  serve
      ->add_option("--admin-token-file", arguments.adminTokenFile,
                   "File whose first line (blanks trimmed) is the token that PUT and "
                   "DELETE need")
      ->type_name("FILE");
  serve
      ->add_option("--max-body", arguments.server.maxBody,
                   "Largest request body accepted, in bytes, also once decompressed "
                   "(default 67108864)")
      ->type_name("BYTES")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 40));
  serve
      ->add_option("--max-buffered", arguments.server.maxBuffered,
                   "Bytes of request bodies over 64 KiB that all connections together may "
                   "hold; past it a new body gets 503 with Retry-After (default 268435456)")
      ->type_name("BYTES")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 40));
  serve
      ->add_option("--access-log", arguments.accessLog,
                   "One JSON line per request: off (default), stderr, or a FILE to append to")
      ->type_name("off|stderr|FILE");
  serve
      ->add_option("--model-dir", arguments.modelDir,
                   "Deploy every ID.pmml in DIR at start, and keep models deployed over "
                   "HTTP there (written atomically; DELETE removes them)")
      ->type_name("DIR");
  AddSeconds(*serve, "--read-timeout", arguments.server.readTimeout,
             "Seconds to receive a request's header, and again its body");
  AddSeconds(*serve, "--idle-timeout", arguments.server.idleTimeout,
             "Seconds a keep-alive connection may wait for its next request");
  AddSeconds(*serve, "--write-timeout", arguments.server.writeTimeout, "Seconds to send a reply");
  AddSeconds(*serve, "--drain-timeout", arguments.server.drainTimeout,
             "Seconds that requests in flight get after SIGTERM");
  serve->add_option("--plugin", arguments.plugin, "Model plug-in library to load")
      ->type_name("PATH");
  serve
      ->add_option("--max-document-bytes", arguments.maxDocumentBytes,
                   "Refuse a model document larger than this (default: 256 MiB)")
      ->type_name("N");
  serve
      ->add_option("--max-nodes", arguments.maxNodes,
                   "Refuse a model document of more XML nodes than this (default: 200,000 or "
                   "one per 8 bytes of the document, whichever is more)")
      ->type_name("N");
  return serve;
}

}  // namespace bnscore::service
