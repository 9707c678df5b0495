#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "host/interfaces/VkException.h"
#include "host/xml/BaseTranslator.h"
#include "host/xml/DeftTranscoder.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"

namespace {

using xercesc::DOMElement;

// The fault's code and message, or code 0 when nothing was thrown.
template <typename F>
std::pair<int, std::string> Fault(F&& f) {
  try {
    f();
  } catch (const VkException& e) {
    return {e.GetCode(), e.GetMessage()};
  }
  return {0, ""};
}

const char kDoc[] =
    "<?xml version=\"1.0\"?>\n"
    "<PMML version=\"4.2\">\n"  // line 2
    "  <!-- a comment -->\n"
    "  <BayesNetModel modelName=\"m\">\n"                               // line 4
    "    text<Extension/>\n"                                            // line 5
    "    <ConditionalTable fieldName=\"x\" parentsNumber=\" -12 \">\n"  // line 6
    "      <row totalN=\"abc\">1;2</row>\n"                             // line 7
    "      <row totalN=\"2147483648\"/>\n"                              // line 8
    "      <row totalN=\"-2147483648\" p=\"+0.5\" q=\"\"/>\n"           // line 9
    "    </ConditionalTable>\n"
    "  </BayesNetModel>\n"
    "</PMML>\n";

class DomHelpers : public ::testing::Test {
 protected:
  XmlPlatform platform_;
};

TEST_F(DomHelpers, WalkingElementsAndLines) {
  DocumentPtr doc = PmmlParser::ParseText(kDoc, "doc.pmml");
  DOMElement* root = doc->getDocumentElement();
  EXPECT_EQ(BaseTranslator::GetLineNumber(root), 2);
  DOMElement* model = BaseTranslator::GetFirstChildElt(root);  // skips comment and blanks
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(BaseTranslator::IsEqual(model->getTagName(), "BayesNetModel"));
  EXPECT_FALSE(BaseTranslator::IsEqual(model->getTagName(), "bayesnetmodel"));
  EXPECT_EQ(BaseTranslator::GetLineNumber(model), 4);
  DOMElement* ext = BaseTranslator::GetFirstChildElt(model);  // skips "text"
  EXPECT_TRUE(BaseTranslator::IsEqual(ext->getTagName(), "Extension"));
  EXPECT_EQ(BaseTranslator::GetLineNumber(ext), 5);
  DOMElement* table = BaseTranslator::GetNextSiblingElt(ext);
  EXPECT_EQ(BaseTranslator::GetChildByTag(root, "BayesNetModel"), model);
  EXPECT_EQ(BaseTranslator::GetChildByTag(model, "ConditionalTable"), table);
  EXPECT_EQ(BaseTranslator::GetChildByTag(root, "ConditionalTable"), nullptr);  // not a child
  EXPECT_EQ(BaseTranslator::GetNextSiblingElt(table), nullptr);
  EXPECT_EQ(BaseTranslator::GetFirstChildElt(ext), nullptr);

  xercesc::DOMNodeList* rows = BaseTranslator::GetElementsByTagName(doc.get(), "row");
  ASSERT_EQ(rows->getLength(), 3u);
  EXPECT_EQ(BaseTranslator::GetLineNumber(rows->item(1)), 8);  // an empty element
  EXPECT_EQ(BaseTranslator::GetElementsByTagName(table, "row")->getLength(), 3u);
  EXPECT_EQ(BaseTranslator::GetElementsByTagName(ext, "row")->getLength(), 0u);

  EXPECT_TRUE(BaseTranslator::IsEqual(BaseTranslator::GetAttribute(table, "fieldName"), "x"));
  EXPECT_TRUE(BaseTranslator::IsEqual(BaseTranslator::GetAttribute(table, "nope"), ""));
  EXPECT_TRUE(BaseTranslator::IsEqual(BaseTranslator::GetAttribute(nullptr, "nope"), ""));
  EXPECT_TRUE(BaseTranslator::IsEqual(nullptr, ""));
  EXPECT_FALSE(BaseTranslator::IsEqual(nullptr, "x"));
  EXPECT_FALSE(BaseTranslator::IsEqual(u"ab", "abc"));
  EXPECT_FALSE(BaseTranslator::IsEqual(u"abc", "ab"));
}

TEST_F(DomHelpers, ForcedLookupsRaiseCodes2And3) {
  DocumentPtr doc = PmmlParser::ParseText(kDoc, "doc.pmml");
  DOMElement* model =
      BaseTranslator::GetChildByTagForced(doc->getDocumentElement(), "BayesNetModel");
  DOMElement* table = BaseTranslator::GetChildByTag(model, "ConditionalTable");
  EXPECT_EQ(
      Fault([&] { BaseTranslator::GetChildByTagForced(model, "MiningSchema"); }),
      std::make_pair(
          2, std::string("Element <MiningSchema> is required in <BayesNetModel> at line 4.")));
  EXPECT_TRUE(BaseTranslator::IsEqual(BaseTranslator::GetAttributeForced(table, "fieldName"), "x"));
  EXPECT_EQ(Fault([&] { BaseTranslator::GetAttributeForced(table, "totalN"); }),
            std::make_pair(
                3, std::string("Attribute totalN is required in <ConditionalTable> at line 6.")));

  // An element built by hand has no line: the message omits it.
  DOMElement* made = doc->createElement(u"ConditionalTable");
  EXPECT_EQ(BaseTranslator::GetLineNumber(made), 0);
  EXPECT_EQ(
      Fault([&] { BaseTranslator::GetAttributeForced(made, "fieldName"); }),
      std::make_pair(3, std::string("Attribute fieldName is required in <ConditionalTable>.")));
  EXPECT_EQ(Fault([&] { BaseTranslator::GetChildByTagForced(made, "names"); }).second,
            "Element <names> is required in <ConditionalTable>.");
  made->release();
}

TEST_F(DomHelpers, VerifyNumbersRaiseCode4) {
  DocumentPtr doc = PmmlParser::ParseText(kDoc, "doc.pmml");
  xercesc::DOMNodeList* rows = BaseTranslator::GetElementsByTagName(doc.get(), "row");
  auto row = [&](int i) { return static_cast<DOMElement*>(rows->item(i)); };
  DOMElement* table = static_cast<DOMElement*>(rows->item(0)->getParentNode());

  EXPECT_EQ(BaseTranslator::VerifyInt(table, "parentsNumber"), -12);
  EXPECT_EQ(BaseTranslator::VerifyInt(row(2), "totalN"), -2147483647 - 1);
  EXPECT_EQ(BaseTranslator::VerifyDouble(row(2), "p"), 0.5);
  EXPECT_EQ(Fault([&] { BaseTranslator::VerifyInt(row(0), "totalN"); }),
            std::make_pair(
                4, std::string("Attribute totalN of <row> at line 7 is not an integer: 'abc'.")));
  EXPECT_EQ(Fault([&] { BaseTranslator::VerifyInt(row(1), "totalN"); }).second,
            "Attribute totalN of <row> at line 8 is not an integer: '2147483648'.");
  EXPECT_EQ(
      Fault([&] { BaseTranslator::VerifyDouble(row(1), "missing"); }),
      std::make_pair(4, std::string("Attribute missing of <row> at line 8 is not a number: ''.")));
  // An attribute that may be left out: absent or empty gives the fallback,
  // anything else is checked as above.
  EXPECT_EQ(BaseTranslator::VerifyDouble(row(2), "p", 7.0), 0.5);
  EXPECT_EQ(BaseTranslator::VerifyDouble(row(2), "q", 7.0), 7.0);
  EXPECT_EQ(BaseTranslator::VerifyDouble(row(1), "missing", 7.0), 7.0);
  EXPECT_EQ(Fault([&] { BaseTranslator::VerifyDouble(row(0), "totalN", 7.0); }),
            std::make_pair(
                4, std::string("Attribute totalN of <row> at line 7 is not a number: 'abc'.")));

  EXPECT_EQ(BaseTranslator::VerifyInt(u"+7"), 7);
  EXPECT_EQ(BaseTranslator::VerifyInt(u"\t 2147483647 "), 2147483647);
  EXPECT_EQ(BaseTranslator::VerifyDouble(u" 1e-3"), 0.001);
  for (const char16_t* bad : {u"", u"abc", u"1.5", u"1e2", u"+-1", u"- 1", u"0x1", u"12a"}) {
    auto fault = Fault([&] { BaseTranslator::VerifyInt(bad); });
    EXPECT_EQ(fault.first, 4);
  }
  EXPECT_EQ(Fault([] { BaseTranslator::VerifyInt(u"abc"); }).second, "'abc' is not an integer.");
  EXPECT_EQ(Fault([] { BaseTranslator::VerifyDouble(u"abc"); }),
            std::make_pair(4, std::string("'abc' is not a number.")));
  EXPECT_EQ(Fault([] { BaseTranslator::VerifyDouble(u""); }).second, "'' is not a number.");
}

TEST_F(DomHelpers, MalformedXmlRaisesCode9WithPlace) {
  auto fault = Fault([] { PmmlParser::ParseText("<PMML>\n  <a></b>\n</PMML>", "bad.pmml"); });
  EXPECT_EQ(fault.first, 9);
  EXPECT_EQ(fault.second.rfind("bad.pmml:2:", 0), 0u) << fault.second;
  EXPECT_EQ(Fault([] { PmmlParser::ParseText("", "empty.pmml"); }).first, 9);
  EXPECT_EQ(Fault([] { PmmlParser::ParseFile("/nonexistent/x.pmml"); }),
            std::make_pair(9, std::string("cannot open /nonexistent/x.pmml")));
}

TEST_F(DomHelpers, TranscoderEncodings) {
  DeftTranscoder utf8("");
  EXPECT_EQ(utf8.GetEncoding(), "UTF-8");
  EXPECT_EQ(utf8.transcodeTo(u"caf\u00e9 \u20ac"), "caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(utf8.transcodeTo(nullptr), "");
  DeftTranscoder latin1("ISO-8859-1");
  EXPECT_EQ(latin1.transcodeTo(u"caf\u00e9"), "caf\xe9");
  EXPECT_EQ(Fault([&] { latin1.transcodeTo(u"\u20ac"); }).first, 9);
  EXPECT_EQ(Fault([] { DeftTranscoder("no-such-encoding"); }).first, 9);
}

// Answers the document overload by reporting the root's tag.
class EchoTranslator : public BaseTranslator {
 public:
  using BaseTranslator::ParseFromTree;
  ScoreModel* ParseFromTree(xercesc::DOMDocument* document, const std::string& encoding) override {
    CreateTranscoder(encoding);
    seen = transcoder_->transcodeTo(document->getDocumentElement()->getTagName());
    if (seen == "Fail") throw VkException(5, "refused");
    return nullptr;
  }
  std::string seen;
};

TEST_F(DomHelpers, TranslatorParsesFilesAndStreams) {
  EchoTranslator translator;
  std::istringstream in("<Root/>");
  EXPECT_EQ(translator.ParseFromTree(in, ""), nullptr);
  EXPECT_EQ(translator.seen, "Root");

  // A throwing document overload still releases the document (ASan checks).
  std::istringstream failing("<Fail/>");
  EXPECT_EQ(Fault([&] { translator.ParseFromTree(failing, "", "f.pmml"); }),
            std::make_pair(5, std::string("refused")));

  std::istringstream broken("<Root>");
  auto fault = Fault([&] { translator.ParseFromTree(broken, "", "named.pmml"); });
  EXPECT_EQ(fault.first, 9);
  EXPECT_EQ(fault.second.rfind("named.pmml:", 0), 0u) << fault.second;

  EXPECT_EQ(translator.ParseFromTree(std::string(BNSCORE_TEST_DATA "/host_dictionary.pmml"), ""),
            nullptr);
  EXPECT_EQ(translator.seen, "PMML");
  EXPECT_EQ(Fault([&] { translator.ParseFromTree(std::string("/nonexistent.pmml"), ""); }).first,
            9);

  std::unique_ptr<ScoreVersionInfo> version(BaseTranslator::VersionInfo("3.1"));
  EXPECT_EQ(version->GetVersion(), "3.1");
}

}  // namespace
