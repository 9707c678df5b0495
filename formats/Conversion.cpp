#include "formats/Conversion.h"

#include "formats/FormatError.h"
#include "formats/PmmlWriter.h"

namespace bnscore::formats {

namespace {

std::string Written(const Network& network, const std::string& target, const std::string& source) {
  try {
    return WritePmml(network, target);
  } catch (const FormatError& e) {
    throw FormatError(source + ": " + e.what());
  }
}

}  // namespace

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
  return Written(network, chosen, source);
}

std::optional<std::string> RetargetDialect(const xercesc::DOMDocument& parsed,
                                           std::string_view text, const std::string& source,
                                           const std::string& target, const ReadLimits& limits) {
  if (target.empty()) return std::nullopt;
  const Network network = ReadDialectNetwork(parsed, text, source, limits);
  if (target == network.target) return std::nullopt;
  return Written(network, target, source);
}

}  // namespace bnscore::formats
