#ifndef BNSCORE_TESTS_ROBUSTNESS_COSTLYDOCUMENTS_H_
#define BNSCORE_TESTS_ROBUSTNESS_COSTLYDOCUMENTS_H_

// Small documents that would cost far more than their size to read, each
// with the words of its refusal. They are written to a stream piece by
// piece, so that the test process itself stays small.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace costly {

struct Document {
  std::string name;
  std::function<void(std::ostream&)> write;
  std::string reason;  // a part of the refusal's message
};

inline void Repeat(std::ostream& out, const std::string& text, int times) {
  for (int i = 0; i < times; ++i) out << text;
}

inline std::vector<Document> Documents() {
  const std::string tooMany = "nodes (elements, attributes, text, CDATA sections, processing";
  return {
      {"deep_nesting",  // 1.4 MB; its release once recursed per level
       [](std::ostream& out) {
         out << "<PMML>";
         Repeat(out, "<a>", 200000);
         Repeat(out, "</a>", 200000);
         out << "</PMML>";
       },
       "element <a> is nested more than 256 levels deep"},
      {"attribute_default",  // 1.1 MB; each <Z/> would copy the 1 MiB default
       [](std::ostream& out) {
         out << "<!DOCTYPE PMML [<!ATTLIST Z q CDATA \"" << std::string(1 << 20, 'q')
             << "\">]>\n<PMML>";
         Repeat(out, "<Z/>", 10000);
         out << "</PMML>";
       },
       "<!ATTLIST Z>: declarations are not allowed in a DOCTYPE"},
      {"entity_blowup",  // 1.3 MB; one 64 KiB entity used 20,000 times
       [](std::ostream& out) {
         out << "<!DOCTYPE PMML [<!ENTITY a \"" << std::string(65536, 'a') << "\">]><PMML>";
         Repeat(out, "&a;", 20000);
         out << "</PMML>";
       },
       "entity 'a': entity declarations are not allowed"},
      {"elements",
       [](std::ostream& out) {
         out << "<PMML>";
         Repeat(out, "<a/>", 250000);
         out << "</PMML>";
       },
       tooMany},
      {"attributes",
       [](std::ostream& out) {
         out << "<PMML>";
         Repeat(out, "<a b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\"/>", 30000);
         out << "</PMML>";
       },
       tooMany},
      {"processing_instructions",
       [](std::ostream& out) {
         out << "<PMML>";
         Repeat(out, "<?a?>", 250000);
         out << "</PMML>";
       },
       tooMany},
      {"cdata_sections",
       [](std::ostream& out) {
         out << "<PMML>";
         Repeat(out, "<![CDATA[]]>x", 250000);
         out << "</PMML>";
       },
       tooMany},
      {"distinct_names",  // Xerces' name pool makes each new name dearer
       [](std::ostream& out) {
         out << "<PMML>";
         for (int i = 0; i < 100000; ++i) out << "<a" << i << "/>";
         out << "</PMML>";
       },
       "more than 10000 distinct element and attribute names"},
      {"attributes_of_one_element",
       [](std::ostream& out) {
         out << "<PMML";
         for (int i = 0; i < 100000; ++i) out << " a" << i << "=\"\"";
         out << "/>";
       },
       "more than 10000 distinct element and attribute names"},
      {"oversized",
       [](std::ostream& out) {
         out << "<PMML>";
         const std::string blanks(1 << 20, ' ');
         Repeat(out, blanks, 33);
         out << "</PMML>";
       },
       "the document is larger than 32 MiB"},
  };
}

}  // namespace costly

#endif  // BNSCORE_TESTS_ROBUSTNESS_COSTLYDOCUMENTS_H_
