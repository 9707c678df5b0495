#ifndef BNSCORE_CLI_CONVERTCOMMAND_H_
#define BNSCORE_CLI_CONVERTCOMMAND_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace bnscore::cli {

// `bnscore convert IN -o OUT --target NODE [--from F] [--to F]`: reads a
// network in BIF, XMLBIF 0.3, DMG PMML or this scorer's dialect (detected
// from the content unless --from names it) and writes it as the dialect's
// BayesNetModel with NODE as the target, or as XMLBIF or BIF.
struct ConvertArguments {
  std::string input;
  std::string output;  // "" or "-": standard output
  std::string target;
  std::string from;  // "" detects
  std::string to = "pmml";
};

CLI::App* AddConvertCommand(CLI::App& app, ConvertArguments& arguments);

// Runs the conversion; faults go to `errors` as "bnscore: ..." lines.
// Returns the exit status: 0 written, 1 a file fault, 2 the document was
// refused (with its file, line and column).
int RunConvert(const ConvertArguments& arguments, std::ostream& errors);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_CONVERTCOMMAND_H_
