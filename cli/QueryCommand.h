#ifndef BNSCORE_CLI_QUERYCOMMAND_H_
#define BNSCORE_CLI_QUERYCOMMAND_H_

#include <string>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// `bnscore query MODEL RECORDS --node N[,M...]`: the posterior of each named
// node for every CSV record of `recordsPath` ("-": standard input), written
// as CSV to `outputPath` ("" or "-": standard output) by Model::QueryCsv.
// Throws bnscore::Error for file and CSV faults and unknown nodes.
struct QueryOptions {
  std::string recordsPath = "-";
  std::string outputPath;
  std::vector<std::string> nodes;
  char delimiter = ',';
};

void RunQuery(const bnscore::Model& model, const QueryOptions& options);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_QUERYCOMMAND_H_
