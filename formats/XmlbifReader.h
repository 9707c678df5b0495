#ifndef BNSCORE_FORMATS_XMLBIFREADER_H_
#define BNSCORE_FORMATS_XMLBIFREADER_H_

#include <string>
#include <string_view>

#include "formats/Network.h"
#include "formats/ReadLimits.h"

namespace bnscore::formats {

// Reads a network in XMLBIF 0.3: <BIF><NETWORK> with an optional <NAME>,
// <VARIABLE TYPE="nature"> elements (<NAME>, <OUTCOME>s; <PROPERTY> is
// skipped) and <DEFINITION> (or the older <PROBABILITY>) elements with
// <FOR>, <GIVEN>s and <TABLE>, whose numbers list the child's states
// fastest, then the last <GIVEN>. Decision and utility variables are
// refused. Requires a live XmlPlatform; faults throw FormatError naming
// `source`, the element's line and column.
Network ReadXmlbif(std::string_view text, const std::string& source, const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_XMLBIFREADER_H_
