#ifndef BNSCORE_FORMATS_CONVERSION_H_
#define BNSCORE_FORMATS_CONVERSION_H_

#include <optional>
#include <string>
#include <string_view>

#include "formats/NetworkReader.h"

namespace bnscore::formats {

// A network document turned into a BayesNetModel document for the plug-in:
// read in `from` (detected from the text when absent) and written with
// `target` as the predicted field; an empty `target` takes the one the
// document names (a DMG mining schema). A document already in the dialect
// is returned unchanged when no other target is asked for. Requires a live
// XmlPlatform for XML input. Throws FormatError.
std::string ToPmml(std::string_view text, const std::string& source, std::optional<Format> from,
                   const std::string& target, const ReadLimits& limits = {});

// A BayesNetModel document that the caller parsed from `text` with
// PmmlParser, asked for `target`: nothing when `target` is empty or the
// document's own predicted field (the parsed document is read as it is),
// else the document written for `target` as ToPmml writes it. Reads the
// parsed document once; faults as ToPmml's.
std::optional<std::string> RetargetDialect(const xercesc::DOMDocument& parsed,
                                           std::string_view text, const std::string& source,
                                           const std::string& target,
                                           const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_CONVERSION_H_
