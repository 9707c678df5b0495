// bnscore::ReadCsvHeader: the engine's header reading behind the public API.
#include "bnscore/csv.h"
#include "engine/CsvReader.h"
#include "engine/CsvScoring.h"

namespace bnscore {

std::vector<std::string> ReadCsvHeader(ByteSource& input, std::string_view inputName,
                                       char delimiter) {
  internal::CsvReader reader(input, std::string(inputName));
  reader.SetDelimiter(delimiter);
  return internal::ReadHeader(reader, internal::ScoreOptions());
}

}  // namespace bnscore
