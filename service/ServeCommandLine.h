#ifndef BNSCORE_SERVICE_SERVECOMMANDLINE_H_
#define BNSCORE_SERVICE_SERVECOMMANDLINE_H_

#include <CLI/CLI.hpp>

#include "service/ServeCommand.h"

namespace bnscore::service {

// Adds the `serve` subcommand and its options to bnscore's command line;
// they fill `arguments`. Returns the subcommand (parsed() tells whether it
// was chosen).
CLI::App* AddServeCommand(CLI::App& app, ServeArguments& arguments);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVECOMMANDLINE_H_
