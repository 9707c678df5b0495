#ifndef BNSCORE_FORMATS_NETWORKREADER_H_
#define BNSCORE_FORMATS_NETWORKREADER_H_

#include <optional>
#include <string>
#include <string_view>

#include <xercesc/dom/DOMDocument.hpp>

#include "formats/Network.h"
#include "formats/ReadLimits.h"

namespace bnscore::formats {

// The network formats read and written: BIF text, XMLBIF 0.3, the DMG
// PMML BayesianNetworkModel and the scorer's own BayesNetModel dialect.
enum class Format { kBif, kXmlbif, kDmg, kPmml };

// "bif", "xmlbif", "dmg", "pmml" → the format; anything else → nothing.
std::optional<Format> FormatFromName(std::string_view name);
const char* FormatName(Format format);

// The format of a document from its first bytes: XML whose root is <BIF> is
// XMLBIF; XML whose root is <PMML> is DMG when it holds a
// <BayesianNetworkModel, else the dialect; text whose first word (after
// comments) is network, variable or probability is BIF. Throws
// FormatError naming `source` otherwise.
Format DetectFormat(std::string_view text, const std::string& source);

// Reads a document of `format` (XML formats need a live XmlPlatform).
// Throws FormatError.
Network ReadNetwork(std::string_view text, const std::string& source, Format format,
                    const ReadLimits& limits = {});
// A BayesNetModel document that the caller parsed from `text` with
// PmmlParser, read as ReadNetwork reads the dialect (no second parse).
Network ReadDialectNetwork(const xercesc::DOMDocument& parsed, std::string_view text,
                           const std::string& source, const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_NETWORKREADER_H_
