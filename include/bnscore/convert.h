#ifndef BNSCORE_CONVERT_H_
#define BNSCORE_CONVERT_H_

// Converting a Bayesian network between document formats (what `bnscore
// convert` does): BIF text, XMLBIF 0.3, the DMG PMML BayesianNetworkModel
// and this scorer's own PMML BayesNetModel. See docs/formats.md.

#include <optional>
#include <string>
#include <string_view>

#include "bnscore/errors.h"

namespace bnscore {

enum class NetworkFormat { kBif, kXmlbif, kDmg, kPmml };

// "bif", "xmlbif", "dmg", "pmml" → the format; anything else → nothing.
BNSCORE_API std::optional<NetworkFormat> NetworkFormatNamed(std::string_view name);

// Reads the network document `text` in format `from` (nothing: told from
// its content) and writes it in format `to`: kPmml, a BayesNetModel that
// predicts `target` ("": the target the document names), every other
// variable a predictor; kXmlbif or kBif, the network. Throws
// ConversionError for a document that cannot be read ("SOURCE:LINE:COLUMN:
// MESSAGE", `source` naming the document) or written ("SOURCE: MESSAGE":
// no target, a network the format cannot hold, kDmg asked for).
BNSCORE_API std::string ConvertNetwork(std::string_view text, const std::string& source,
                                       std::optional<NetworkFormat> from, NetworkFormat to,
                                       const std::string& target = "");

}  // namespace bnscore

#endif  // BNSCORE_CONVERT_H_
