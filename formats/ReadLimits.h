#ifndef BNSCORE_FORMATS_READLIMITS_H_
#define BNSCORE_FORMATS_READLIMITS_H_

#include <cstddef>

#include "host/xml/PmmlParser.h"

namespace bnscore::formats {

// What one network read may build, beyond what its text holds. Tables are
// stored dense, so a document that gives a few rows of a table over many
// parents would otherwise cost far more than its size; every reader
// refuses a network whose tables together exceed TableCells(textBytes).
struct ReadLimits {
  // Cells admitted whatever the document's size.
  std::size_t minTableCells = std::size_t{1} << 22;  // 4,194,304 (32 MiB of doubles)
  // Cells admitted per byte of document beyond that.
  std::size_t tableCellsPerByte = 1;

  // The XML documents' limits (size, nodes, depth, names).
  DocumentLimits xml;

  std::size_t TableCells(std::size_t textBytes) const {
    const std::size_t scaled = textBytes * tableCellsPerByte;
    return scaled > minTableCells ? scaled : minTableCells;
  }
};

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_READLIMITS_H_
