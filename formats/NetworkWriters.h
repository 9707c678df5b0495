#ifndef BNSCORE_FORMATS_NETWORKWRITERS_H_
#define BNSCORE_FORMATS_NETWORKWRITERS_H_

#include <string>

#include "formats/Network.h"

namespace bnscore::formats {

// The network as XMLBIF 0.3 and as BIF text. Both formats hold discrete
// variables only, so a binned variable is written as what it is to them: a
// discrete variable named after its bins' field, whose states are the bins,
// with a property "bins = C1 C2 ... of INPUT" giving the cut points and the
// continuous input field (bins closed on the right), which this system's
// readers turn back into the binned variable; other readers keep the
// property as a note. A row the source did not give is written as zeros
// (what scoring gives an unseen configuration); a variable without a table
// gets no definition. Probabilities are the shortest texts that read back
// exactly. Throws FormatError for a name the format cannot hold.
std::string WriteXmlbif(const Network& network);
std::string WriteBif(const Network& network);

// The property text of a binned variable's bins, and its reading; false
// when `text` is not such a property.
std::string BinsProperty(const Discretization& bins);
bool ReadBinsProperty(std::string_view text, Discretization& bins);

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_NETWORKWRITERS_H_
