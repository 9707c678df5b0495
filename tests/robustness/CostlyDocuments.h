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
  int code = 9;        // the refusal's error code
};

inline void Repeat(std::ostream& out, const std::string& text, int times) {
  for (int i = 0; i < times; ++i) out << text;
}

// Writes a PMML root holding `text` `times` times.
inline std::function<void(std::ostream&)> Root(std::string text, int times) {
  return [text, times](std::ostream& out) {
    out << "<PMML>";
    Repeat(out, text, times);
    out << "</PMML>";
  };
}

// A network of a target t (`targetCategories` categories c0, c1, ...) and
// a predictor x (u, v) whose parent is t, with `tables` written inside
// ConditionalTables after t's table.
inline void WriteNetwork(std::ostream& out, int targetCategories,
                         const std::function<void(std::ostream&)>& tables) {
  out << "<PMML><DataDictionary><DataField name=\"t\" optype=\"categorical\" "
         "dataType=\"string\">";
  for (int i = 0; i < targetCategories; ++i) out << "<Value value=\"c" << i << "\"/>";
  out << "</DataField><DataField name=\"x\" optype=\"categorical\" dataType=\"string\">"
         "<Value value=\"u\"/><Value value=\"v\"/></DataField></DataDictionary>"
         "<BayesNetModel><MiningSchema><MiningField name=\"t\" usageType=\"predicted\"/>"
         "<MiningField name=\"x\"/></MiningSchema><LinkSource><names/><row>t;x;yes</row>"
         "</LinkSource><ConditionalTables><ConditionalTable fieldName=\"t\" "
         "parentsNumber=\"0\"><names/><row totalN=\"1\">1</row></ConditionalTable>";
  tables(out);
  out << "</ConditionalTables></BayesNetModel></PMML>";
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
      {"elements", Root("<a/>", 250000), tooMany},
      {"attributes", Root("<a b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\"/>", 30000),
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
      {"rows_of_many_categories",  // each row was matched against every category
       [](std::ostream& out) {
         WriteNetwork(out, 20000, [](std::ostream& tables) {
           tables << "<ConditionalTable fieldName=\"x\" parentsNumber=\"1\"><names>t</names>";
           for (int i = 19999; i >= 0; --i) {
             tables << "<row totalN=\"1\">c" << i << ";0.5;0.5</row>";
           }
           tables << "<row totalN=\"1\">c20000;0.5;0.5</row></ConditionalTable>";
         });
       },
       "t Variable's value c20000 not found.", 8},
      {"short_rows_of_many_parents",  // each row's key holds every parent
       [](std::ostream& out) {
         WriteNetwork(out, 2, [](std::ostream& tables) {
           tables << "<ConditionalTable fieldName=\"x\" parentsNumber=\"200000\"><names>";
           Repeat(tables, "t;", 200000);
           tables << "</names>";
           for (int k = 0; k < 4096; ++k) {
             tables << "<row totalN=\"1\">";
             for (int bit = 0; bit < 12; ++bit) tables << "c" << ((k >> bit) & 1) << ";";
             tables << "</row>";
           }
           tables << "</ConditionalTable>";
         });
       },
       "4096 rows of 200000 parents take the tables past 4194304 parent values.", 12},
      {"oversized",  // 257 MiB, but a sparse file: refused unread
       [](std::ostream& out) {
         // Text first, so that what the file begins with is a document.
         out << "<PMML><!--" << std::string(1024, ' ') << "-->";
         out.seekp((std::streamoff{257} << 20) - 7);
         out << "</PMML>";
       },
       "the document is larger than 256 MiB"},
  };
}

}  // namespace costly

#endif  // BNSCORE_TESTS_ROBUSTNESS_COSTLYDOCUMENTS_H_
