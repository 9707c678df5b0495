#include "formats/NetworkReader.h"

#include "formats/BifReader.h"
#include "formats/DialectReader.h"
#include "formats/DmgReader.h"
#include "formats/FormatError.h"
#include "formats/XmlbifReader.h"

namespace bnscore::formats {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The name of the root element of XML text, or "" when none is found.
std::string RootName(std::string_view text) {
  std::size_t pos = 0;
  for (;;) {
    pos = text.find('<', pos);
    if (pos == std::string_view::npos || pos + 1 >= text.size()) return {};
    const char next = text[pos + 1];
    if (next == '?') {
      pos = text.find("?>", pos);
    } else if (text.substr(pos, 4) == "<!--") {
      pos = text.find("-->", pos);
    } else if (next == '!') {
      pos = text.find('>', pos);
    } else {
      std::size_t end = pos + 1;
      while (end < text.size() && !IsBlank(text[end]) && text[end] != '>' && text[end] != '/') {
        ++end;
      }
      return std::string(text.substr(pos + 1, end - pos - 1));
    }
    if (pos == std::string_view::npos) return {};
    ++pos;
  }
}

// The first word of BIF text, after blanks and comments.
std::string_view FirstWord(std::string_view text) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (text.substr(pos, 2) == "//") {
      pos = text.find('\n', pos);
    } else if (text.substr(pos, 2) == "/*") {
      pos = text.find("*/", pos);
      if (pos != std::string_view::npos) pos += 2;
    } else {
      break;
    }
    if (pos == std::string_view::npos) return {};
  }
  std::size_t end = pos;
  while (end < text.size() && !IsBlank(text[end]) && text[end] != '{' && text[end] != '(') ++end;
  return text.substr(pos, end - pos);
}

// `network` as read, or FormatError naming `source` when it is no network.
Network Validated(Network network, const std::string& source) {
  const std::string fault = network.Validate();
  if (!fault.empty()) throw FormatError(source + ": " + fault);
  return network;
}

}  // namespace

std::optional<Format> FormatFromName(std::string_view name) {
  if (name == "bif") return Format::kBif;
  if (name == "xmlbif") return Format::kXmlbif;
  if (name == "dmg") return Format::kDmg;
  if (name == "pmml") return Format::kPmml;
  return std::nullopt;
}

const char* FormatName(Format format) {
  switch (format) {
    case Format::kBif:
      return "bif";
    case Format::kXmlbif:
      return "xmlbif";
    case Format::kDmg:
      return "dmg";
    case Format::kPmml:
      return "pmml";
  }
  return "?";
}

Format DetectFormat(std::string_view text, const std::string& source) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  if (start < text.size() && text[start] == '<') {
    const std::string root = RootName(text);
    if (root == "BIF") return Format::kXmlbif;
    if (root == "PMML") {
      if (text.find("<BayesianNetworkModel") != std::string_view::npos) return Format::kDmg;
      return Format::kPmml;
    }
    throw FormatError(source + ": an XML document whose root is <" + root +
                      ">: expected <PMML> or XMLBIF's <BIF> (or name the format with --from)");
  }
  const std::string_view word = FirstWord(text);
  if (word == "network" || word == "variable" || word == "probability") return Format::kBif;
  throw FormatError(source +
                    ": neither XML nor BIF text: cannot tell its format (name it with "
                    "--from bif|xmlbif|dmg|pmml)");
}

Network ReadNetwork(std::string_view text, const std::string& source, Format format,
                    const ReadLimits& limits) {
  Network network;
  switch (format) {
    case Format::kBif:
      network = ReadBif(text, source, limits);
      break;
    case Format::kXmlbif:
      network = ReadXmlbif(text, source, limits);
      break;
    case Format::kDmg:
      network = ReadDmg(text, source, limits);
      break;
    case Format::kPmml:
      network = ReadDialect(text, source, limits);
      break;
  }
  return Validated(std::move(network), source);
}

Network ReadDialectNetwork(const xercesc::DOMDocument& parsed, std::string_view text,
                           const std::string& source, const ReadLimits& limits) {
  return Validated(ReadDialect(parsed, text, source, limits), source);
}

}  // namespace bnscore::formats
