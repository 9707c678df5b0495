// bnscore::ConvertNetwork: the formats library behind the public API.
#include <mutex>

#include "bnscore/convert.h"
#include "engine/XmlTurns.h"
#include "formats/FormatError.h"
#include "formats/NetworkReader.h"
#include "formats/NetworkWriters.h"
#include "formats/PmmlWriter.h"
#include "host/xml/XmlPlatform.h"

namespace bnscore {

namespace {

formats::Format Internal(NetworkFormat format) {
  switch (format) {
    case NetworkFormat::kBif:
      return formats::Format::kBif;
    case NetworkFormat::kXmlbif:
      return formats::Format::kXmlbif;
    case NetworkFormat::kDmg:
      return formats::Format::kDmg;
    case NetworkFormat::kPmml:
      break;
  }
  return formats::Format::kPmml;
}

}  // namespace

std::optional<NetworkFormat> NetworkFormatNamed(std::string_view name) {
  const std::optional<formats::Format> format = formats::FormatFromName(name);
  if (!format) return std::nullopt;
  switch (*format) {
    case formats::Format::kBif:
      return NetworkFormat::kBif;
    case formats::Format::kXmlbif:
      return NetworkFormat::kXmlbif;
    case formats::Format::kDmg:
      return NetworkFormat::kDmg;
    case formats::Format::kPmml:
      break;
  }
  return NetworkFormat::kPmml;
}

std::string ConvertNetwork(std::string_view text, const std::string& source,
                           std::optional<NetworkFormat> from, NetworkFormat to,
                           const std::string& target) {
  std::lock_guard<std::mutex> lock(internal::XmlTurns());
  XmlPlatform xml;
  formats::Network network;
  try {
    network = formats::ReadNetwork(text, source,
                                   from ? Internal(*from) : formats::DetectFormat(text, source));
  } catch (const formats::FormatError& e) {
    throw ConversionError(e.what());
  }
  try {
    switch (to) {
      case NetworkFormat::kXmlbif:
        return formats::WriteXmlbif(network);
      case NetworkFormat::kBif:
        return formats::WriteBif(network);
      case NetworkFormat::kDmg:
        throw formats::FormatError("a network is not written as DMG PMML");
      case NetworkFormat::kPmml:
        break;
    }
    const std::string& predicted = target.empty() ? network.target : target;
    if (predicted.empty()) {
      throw formats::FormatError("the document names no target: give one with --target NODE");
    }
    return formats::WritePmml(network, predicted);
  } catch (const formats::FormatError& e) {
    throw ConversionError(source + ": " + e.what());
  }
}

}  // namespace bnscore
