#ifndef BNSCORE_ENGINE_MODELSOURCE_H_
#define BNSCORE_ENGINE_MODELSOURCE_H_

#include <string>

#include "host/xml/PmmlParser.h"

namespace bnscore::internal {

// Parses the document the plug-in reads for the model text `text` from
// `source`, with `target` as the predicted field:
// - a BayesNetModel document is parsed once; asked for another target than
//   its own, it is rewritten with that target and the rewritten text parsed;
// - a network in another format (BIF, XMLBIF, DMG PMML) becomes the
//   BayesNetModel text of `target` (the DMG document's own when empty),
//   which is parsed;
// - a text whose format cannot be told is parsed as it is when no target is
//   asked for (the parser then says what is wrong with it).
// When the document was rewritten, `text` holds the text parsed. A document that cannot be parsed
// or converted throws VkException (code 9) with its file, line and column. Needs a live
// XmlPlatform.
DocumentPtr ParseModelDocument(std::string& text, const std::string& source,
                               const std::string& target, const DocumentLimits& limits);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_MODELSOURCE_H_
