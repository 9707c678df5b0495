#ifndef BNSCORE_SERVICE_SERVECOMMAND_H_
#define BNSCORE_SERVICE_SERVECOMMAND_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "service/ServerOptions.h"

namespace bnscore::service {

// The options of `bnscore serve`.
struct ServeArguments {
  // ADDR:PORT, [IPv6]:PORT, localhost:PORT, :PORT (every IPv4 address) or
  // PORT (127.0.0.1); port 0: any free port.
  std::string listen = "127.0.0.1:8080";
  std::vector<std::string> models;   // ID=PATH, deployed before listening
  std::string adminTokenFile;        // the token PUT and DELETE need; "" for none
  std::string accessLog = "off";     // off, stderr or a file to append to
  std::string modelDir;              // deployed at start, and keeps HTTP deployments
  std::string plugin;                // "" finds it as bnscore score does
  std::size_t maxDocumentBytes = 0;  // model document limits (0: the defaults)
  std::size_t maxNodes = 0;
  // Threads that score one request's records, the request's own among
  // them (ServiceRouter::SetScoreThreads).
  int scoreThreads = 1;
  ServerOptions server;
};

// Runs `bnscore serve`: deploys the models, listens, announces
// "bnscore serve: listening on http://ADDR:PORT" on `out` and serves until
// SIGTERM or SIGINT has drained it. Returns the exit status: 0 after a
// drain, 1 for a usage, file, plug-in or listen error, or a drain that the
// timeout cut short, 2 when a --model document is rejected. Messages go to
// `err` as "bnscore: ...".
int RunServe(const ServeArguments& arguments, std::ostream& out, std::ostream& err);

// Splits "ADDR:PORT" or "[ADDR]:PORT", and reads "localhost:PORT" as
// 127.0.0.1, ":PORT" as 0.0.0.0 and "PORT" as 127.0.0.1; false when it is
// none of these.
bool SplitListenAddress(const std::string& listen, std::string& address, unsigned short& port);

// The admin token of the file at `path`: its first line, without blanks
// (spaces, tabs, CR) at either end. Throws std::runtime_error when the
// file cannot be read or the token is empty.
std::string ReadAdminToken(const std::string& path);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVECOMMAND_H_
