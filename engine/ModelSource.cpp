#include "engine/ModelSource.h"

#include "formats/Conversion.h"
#include "formats/FormatError.h"
#include "host/interfaces/VkException.h"

namespace bnscore::internal {

bool ConvertModelText(std::string& text, const std::string& source, const std::string& target,
                      const DocumentLimits& limits) {
  using namespace bnscore::formats;
  try {
    Format format;
    try {
      format = DetectFormat(text, source);
    } catch (const FormatError&) {
      if (target.empty()) return false;  // the parser's message says more
      throw;
    }
    if (format == Format::kPmml && target.empty()) return false;
    ReadLimits readLimits;
    readLimits.xml = limits;
    std::string converted = ToPmml(text, source, format, target, readLimits);
    if (converted.size() == text.size() && converted == text) return false;
    text = std::move(converted);
    return true;
  } catch (const FormatError& e) {
    throw VkException(VkException::MalformedXml, e.what());
  }
}

}  // namespace bnscore::internal
