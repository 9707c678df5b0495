#ifndef BNSCORE_CSV_H_
#define BNSCORE_CSV_H_

#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore {

// The first row of the CSV text `input` (a header file naming the columns
// of input without a header row), read as Model::ScoreCsv reads rows, with
// `delimiter`. Error "NAME: no header row: the input is empty" when there
// is no row; CsvError for a fault of the text.
BNSCORE_API std::vector<std::string> ReadCsvHeader(ByteSource& input, std::string_view inputName,
                                                   char delimiter = ',');

}  // namespace bnscore

#endif  // BNSCORE_CSV_H_
