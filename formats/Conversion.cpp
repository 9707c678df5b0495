#include "formats/Conversion.h"

#include "formats/FormatError.h"
#include "formats/PmmlWriter.h"

namespace bnscore::formats {

std::string ToPmml(std::string_view text, const std::string& source, std::optional<Format> from,
                   const std::string& target, const ReadLimits& limits) {
  const Format format = from ? *from : DetectFormat(text, source);
  const Network network = ReadNetwork(text, source, format, limits);
  if (format == Format::kPmml && (target.empty() || target == network.target)) {
    return std::string(text);
  }
  const std::string& chosen = target.empty() ? network.target : target;
  if (chosen.empty()) {
    throw FormatError(source + ": the document names no target: give one (--target NODE)");
  }
  try {
    return WritePmml(network, chosen);
  } catch (const FormatError& e) {
    throw FormatError(source + ": " + e.what());
  }
}

}  // namespace bnscore::formats
