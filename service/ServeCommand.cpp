#include "service/ServeCommand.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>

#include <boost/asio/ip/address.hpp>

#include "bnscore/bnscore.h"
#include "service/HttpServer.h"
#include "service/ModelRegistry.h"
#include "service/ServiceMetrics.h"
#include "service/ServiceRouter.h"

namespace {

// A usage or file fault: the message is printed after "bnscore: ".
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string ReadToken(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the admin token file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  std::string token = text.str();
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r' ||
                            token.back() == ' ' || token.back() == '\t')) {
    token.pop_back();
  }
  if (token.empty()) throw UsageError("the admin token file " + path + " is empty");
  return token;
}

}  // namespace

bool SplitListenAddress(const std::string& listen, std::string& address, unsigned short& port) {
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
  address = listen.substr(0, colon);
  if (address.front() == '[') {
    if (address.size() < 3 || address.back() != ']') return false;
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string::npos) {
    return false;  // an IPv6 address needs brackets
  }
  const char* first = listen.data() + colon + 1;
  const char* last = listen.data() + listen.size();
  const std::from_chars_result r = std::from_chars(first, last, port);
  return r.ec == std::errc() && r.ptr == last;
}

int RunServe(const ServeArguments& arguments, std::ostream& out, std::ostream& err) {
  std::string modelPath;  // the document being read, for messages
  try {
    std::string address;
    unsigned short port = 0;
    if (!SplitListenAddress(arguments.listen, address, port)) {
      throw UsageError("--listen " + arguments.listen +
                       ": expected ADDR:PORT, e.g. 127.0.0.1:8080 or [::1]:8080");
    }
    boost::system::error_code ec;
    const boost::asio::ip::address ip = boost::asio::ip::make_address(address, ec);
    if (ec) throw UsageError("--listen " + arguments.listen + ": invalid address " + address);

    AdminPolicy admin;
    if (!arguments.adminTokenFile.empty()) admin.token = ReadToken(arguments.adminTokenFile);
    admin.loopbackListener = ip.is_loopback();
    bnscore::LoadOptions load;
    load.plugin = arguments.plugin;
    load.maxDocumentBytes = arguments.maxDocumentBytes;
    load.maxNodes = arguments.maxNodes;

    ServiceMetrics metrics;
    ModelRegistry registry;
    ServiceRouter router(registry, metrics, admin, load);
    for (const std::string& model : arguments.models) {
      const std::size_t equals = model.find('=');
      if (equals == std::string::npos || equals + 1 == model.size()) {
        throw UsageError("--model " + model + ": expected ID=PATH");
      }
      const std::string id = model.substr(0, equals);
      if (!ServiceRouter::IsValidId(id)) {
        throw UsageError("--model " + model +
                         ": an id is 1 to 128 letters, digits, '.', '_' or '-'");
      }
      modelPath = model.substr(equals + 1);
      // PATH#NODE: a network in another format, read with NODE as its target.
      std::string target;
      const std::size_t hash = modelPath.rfind('#');
      if (hash != std::string::npos && hash + 1 < modelPath.size() &&
          ::access(modelPath.c_str(), F_OK) != 0) {
        target = modelPath.substr(hash + 1);
        modelPath.resize(hash);
      }
      if (router.DeployFile(id, modelPath, target)) {
        throw UsageError("--model " + id + " is given twice");
      }
    }
    modelPath.clear();

    HttpServer server(router, metrics, arguments.server);
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
