#ifndef BNSCORE_ENGINE_MODELSOURCE_H_
#define BNSCORE_ENGINE_MODELSOURCE_H_

#include <string>

#include "host/xml/PmmlParser.h"

namespace bnscore::internal {

// Turns a network document in another format (BIF, XMLBIF, DMG PMML) into
// the BayesNetModel text the plug-in reads, with `target` as the predicted
// field; a BayesNetModel document asked for another target is rewritten
// with it. Returns false, leaving `text` as it is, when the document is
// already what the plug-in reads: a BayesNetModel document and no other
// target asked for, or a text whose format cannot be told (the plug-in's
// parser then says what is wrong with it). A document that cannot be
// converted throws VkException (code 9) with its file, line and column.
// Needs a live XmlPlatform.
bool ConvertModelText(std::string& text, const std::string& source, const std::string& target,
                      const DocumentLimits& limits = {});

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_MODELSOURCE_H_
