#ifndef BNSCORE_FORMATS_DIALECTREADER_H_
#define BNSCORE_FORMATS_DIALECTREADER_H_

#include <string>
#include <string_view>

#include <xercesc/dom/DOMDocument.hpp>

#include "formats/Network.h"
#include "formats/ReadLimits.h"

namespace bnscore::formats {

// Reads the network of a BayesNetModel document (the scorer's own dialect)
// for export: one variable per ConditionalTable, in data-dictionary order;
// a categorical field's states are its Values; a field binned through a
// DerivedFieldRef (or a derived predictor) becomes a binned variable named
// after its derived field, whose states are the bins' binValues. Lists are
// split at ';' with '\' escapes and trimmed of blanks, as the plug-in
// does; a binned parent's row value is its bin code. The target is the
// predicted field. Only what export needs is checked; scoring a document
// is the plug-in's business. Requires a live XmlPlatform; faults throw
// FormatError with line and column.
Network ReadDialect(std::string_view text, const std::string& source,
                    const ReadLimits& limits = {});
// The same from the document the caller parsed from `text` with PmmlParser.
Network ReadDialect(const xercesc::DOMDocument& parsed, std::string_view text,
                    const std::string& source, const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_DIALECTREADER_H_
