#ifndef BNSCORE_FORMATS_BIFREADER_H_
#define BNSCORE_FORMATS_BIFREADER_H_

#include <string>
#include <string_view>

#include "formats/Network.h"
#include "formats/ReadLimits.h"

namespace bnscore::formats {

// Reads a network in the BIF text format:
//   network NAME { property ...; }
//   variable NAME { type discrete [ N ] { s1, s2, ... }; property ...; }
//   probability ( CHILD | PARENT, ... ) { (p1, p2) v, ...; table v, ...; default v, ...; }
// Comments (// and /* */) and property lines are skipped; the network name
// "unknown", which BIF writers use for an unnamed network, reads as none.
// A `table` lists every row in configuration order (the last parent
// fastest, the child's states fastest within a row); `default` gives the
// rows no other line gives; a row given twice keeps the later one.
// A variable without a probability block has no table. Every fault throws
// FormatError naming `source`, the line and the column. The cost is linear
// in the text, and the tables are bounded by `limits`.
Network ReadBif(std::string_view text, const std::string& source, const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_BIFREADER_H_
