#include "service/ServeCommand.h"

#include <unistd.h>

#include <charconv>
#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <boost/asio/ip/address.hpp>

#include "bnscore/bnscore.h"
#include "service/AccessLog.h"
#include "service/DeployedModel.h"
#include "service/DocumentInfo.h"
#include "service/HttpServer.h"
#include "bnscore/JsonText.h"
#include "service/ModelStore.h"
#include "service/ModelRegistry.h"
#include "service/ServiceMetrics.h"
#include "service/ServiceRouter.h"

namespace bnscore::service {

using bnscore::service::AccessLog;
using bnscore::service::ModelStore;
using bnscore::service::Sha256Hex;

namespace {

// A usage or file fault: the message is printed after "bnscore: ".
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool ParsePort(std::string_view text, unsigned short& port) {
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), port);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

std::string ReadAdminToken(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string token;
  if (!in || (!std::getline(in, token) && !in.eof())) {
    throw UsageError("cannot read the admin token file " + path);
  }
  std::size_t first = 0;
  while (first < token.size() && IsBlank(token[first])) ++first;
  token.erase(0, first);
  while (!token.empty() && IsBlank(token.back())) token.pop_back();
  if (token.empty()) {
    throw UsageError("the admin token file " + path +
                     " holds no token: its first line must be the token");
  }
  return token;
}

bool SplitListenAddress(const std::string& listen, std::string& address, unsigned short& port) {
  if (listen.find(':') == std::string::npos) {
    address = "127.0.0.1";
    return ParsePort(listen, port);
  }
  if (listen.front() == ':') {
    address = "0.0.0.0";
    return ParsePort(std::string_view(listen).substr(1), port);
  }
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
  address = listen.substr(0, colon);
  if (address.front() == '[') {
    if (address.size() < 3 || address.back() != ']') return false;
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string::npos) {
    return false;  // an IPv6 address needs brackets
  } else if (address == "localhost") {
    address = "127.0.0.1";
  }
  const char* first = listen.data() + colon + 1;
  const char* last = listen.data() + listen.size();
  const std::from_chars_result r = std::from_chars(first, last, port);
  return r.ec == std::errc() && r.ptr == last;
}

int RunServe(const ServeArguments& arguments, std::ostream& out, std::ostream& err) {
  // A SIGHUP while the models are read (a reload sent early) must not end
  // the process; once serving, the server reads the files again on it.
  ::signal(SIGHUP, SIG_IGN);
  std::string modelPath;  // the document being read, for messages
  try {
    std::string address;
    unsigned short port = 0;
    if (!SplitListenAddress(arguments.listen, address, port)) {
      throw UsageError("--listen " + arguments.listen +
                       ": expected ADDR:PORT, e.g. 127.0.0.1:8080, [::1]:8080, "
                       "localhost:8080, :8080 or 8080");
    }
    boost::system::error_code ec;
    const boost::asio::ip::address ip = boost::asio::ip::make_address(address, ec);
    if (ec) throw UsageError("--listen " + arguments.listen + ": invalid address " + address);

    AdminPolicy admin;
    if (!arguments.adminTokenFile.empty()) admin.token = ReadAdminToken(arguments.adminTokenFile);
    admin.loopbackListener = ip.is_loopback();
    bnscore::LoadOptions load;
    load.plugin = arguments.plugin;
    load.maxDocumentBytes = arguments.maxDocumentBytes;
    load.maxNodes = arguments.maxNodes;

    // Requests are logged only when asked; deploy, replace and delete
    // events always are, to the access log or else to standard error.
    std::unique_ptr<AccessLog> accessLog;
    if (arguments.accessLog != "off") accessLog = AccessLog::Open(arguments.accessLog);
    std::unique_ptr<AccessLog> stderrLog = AccessLog::Open("stderr");
    AccessLog* events = accessLog ? accessLog.get() : stderrLog.get();

    ServiceMetrics metrics;
    ModelRegistry registry;
    ServiceRouter router(registry, metrics, admin, load);
    router.SetEventLog(events);
    router.SetScoreThreads(arguments.scoreThreads);
    std::unique_ptr<ModelStore> store;
    if (!arguments.modelDir.empty()) {
      store = std::make_unique<ModelStore>(arguments.modelDir);
      for (const ModelStore::Document& kept : store->List()) {
        modelPath = kept.path;
        router.DeployFile(kept.id, kept.path, kept.target);
      }
    }
    struct ModelFile {
      std::string id, path, target;
    };
    std::vector<ModelFile> files;  // the --model ids, paths and targets
    std::set<std::string> given;
    for (const std::string& model : arguments.models) {
      const std::size_t equals = model.find('=');
      if (equals == std::string::npos || equals + 1 == model.size()) {
        throw UsageError("--model " + model + ": expected ID=PATH");
      }
      const std::string id = model.substr(0, equals);
      if (!ServiceRouter::IsValidId(id)) {
        throw UsageError("--model " + model + ": " + ServiceRouter::kIdRule);
      }
      if (!given.insert(id).second) throw UsageError("--model " + id + " is given twice");
      modelPath = model.substr(equals + 1);
      // PATH#NODE: a network in another format, read with NODE as its target.
      std::string target;
      const std::size_t hash = modelPath.rfind('#');
      if (hash != std::string::npos && hash + 1 < modelPath.size() &&
          ::access(modelPath.c_str(), F_OK) != 0) {
        target = modelPath.substr(hash + 1);
        modelPath.resize(hash);
      }
      router.DeployFile(id, modelPath, target);
      files.push_back({id, modelPath, target});
    }
    modelPath.clear();
    std::vector<std::string> required;
    for (const auto& file : files) required.push_back(file.id);
    router.SetRequiredModels(std::move(required));
    router.SetModelStore(store.get());

    // SIGHUP: each --model file read again; a changed document replaces
    // its model, a rejected one leaves the old model serving.
    std::mutex reloading;
    auto reload = [&] {
      std::lock_guard<std::mutex> lock(reloading);
      for (const auto& [id, path, target] : files) {
        std::string fields = ",\"source\":";
        AppendJsonString(fields, path);
        try {
          const std::string text = ServiceRouter::ReadDocumentFile(path);
          const std::shared_ptr<const DeployedModel> current = registry.Find(id);
          if (current && current->GetInfo().sha256 == Sha256Hex(text)) {
            events->Event("unchanged", id, fields);
            continue;
          }
          router.Deploy(id, text, path, nullptr, target);  // logs the replacement
        } catch (const bnscore::ModelError& e) {
          fields.append(",\"error\":");
          AppendJsonString(fields, "error " + std::to_string(e.GetCode()) + ": " + e.GetMessage());
          events->Event("reload_rejected", id, fields);
        } catch (const std::exception& e) {
          fields.append(",\"error\":");
          AppendJsonString(fields, e.what());
          events->Event("reload_rejected", id, fields);
        }
      }
    };

    HttpServer server(router, metrics, arguments.server);
    server.SetAccessLog(accessLog.get());
    server.SetReloadHandler(reload);
    server.Listen(address, port);
    const std::string shown = ip.is_v6() ? "[" + address + "]" : address;
    out << "bnscore serve: listening on http://" << shown << ':' << server.GetPort() << std::endl;
    if (!server.Run()) {
      err << "bnscore: serve: the drain timeout cut requests in flight short\n";
      return 1;
    }
    err << "bnscore: serve: drained; stopped\n";
    return 0;
  } catch (const bnscore::ModelError& e) {
    err << "bnscore: " << modelPath << ": error " << e.GetCode() << ": " << e.GetMessage() << '\n';
    return 2;
  } catch (const bnscore::Error& e) {
    err << "bnscore: " << e.what() << '\n';
    return 1;
  } catch (const std::exception& e) {
    err << "bnscore: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace bnscore::service
