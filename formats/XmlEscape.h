#ifndef BNSCORE_FORMATS_XMLESCAPE_H_
#define BNSCORE_FORMATS_XMLESCAPE_H_

#include <string>
#include <string_view>

namespace bnscore::formats {

// Appends `text` escaped for an XML attribute value in double quotes
// (& < > " and tab, line feed and carriage return as references).
void AppendXmlAttribute(std::string_view text, std::string& out);
// Appends `text` escaped for XML character data (& < >).
void AppendXmlText(std::string_view text, std::string& out);
// Whether `text` may stand in an XML 1.0 document: well-formed UTF-8 of
// characters XML allows (no control characters other than tab, line feed
// and carriage return).
bool IsXmlSafe(std::string_view text);
// Whether `c` is XML white space: space, tab, line feed or carriage return.
inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_XMLESCAPE_H_
