#include "engine/ModelSource.h"

#include <optional>

#include "formats/Conversion.h"
#include "formats/FormatError.h"
#include "host/interfaces/VkException.h"

namespace bnscore::internal {

DocumentPtr ParseModelDocument(std::string& text, const std::string& source,
                               const std::string& target, const DocumentLimits& limits) {
  using namespace bnscore::formats;
  ReadLimits readLimits;
  readLimits.xml = limits;
  try {
    Format format;
    try {
      format = DetectFormat(text, source);
    } catch (const FormatError&) {
      if (target.empty()) return PmmlParser::ParseText(text, source, limits);
      throw;
    }
    if (format == Format::kPmml) {
      // The parse the plug-in reads also tells the document's own target.
      DocumentPtr document = PmmlParser::ParseText(text, source, limits);
      std::optional<std::string> rewritten =
          RetargetDialect(*document, text, source, target, readLimits);
      if (!rewritten) return document;
      document.reset();
      text = std::move(*rewritten);
    } else {
      std::string pmml = ToPmml(text, source, format, target, readLimits);
      if (pmml.size() == text.size() && pmml == text) {
        return PmmlParser::ParseText(text, source, limits);
      }
      text = std::move(pmml);
    }
  } catch (const FormatError& e) {
    throw VkException(VkException::MalformedXml, e.what());
  }
  return PmmlParser::ParseText(text, source, limits);
}

}  // namespace bnscore::internal
