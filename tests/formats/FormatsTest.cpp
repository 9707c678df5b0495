// The readers and writers of the network formats: faults with their
// position, round trips, the same network in two formats, DMG documents,
// and binned fields through BIF and back.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "bnscore/bnscore.h"
#include "formats/BifReader.h"
#include "formats/Conversion.h"
#include "formats/FormatError.h"
#include "formats/NetworkReader.h"
#include "formats/NetworkWriters.h"
#include "formats/PmmlWriter.h"
#include "host/xml/XmlPlatform.h"
#include "tests/formats/PublishedNetworks.h"

namespace {

using namespace bnscore::formats;

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";
const std::string kData = BNSCORE_TEST_DATA "/formats/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The message a document's reading fails with ("" when it reads).
std::string ReadFault(const std::string& text, Format format) {
  XmlPlatform xml;
  try {
    ReadNetwork(text, "net", format);
  } catch (const FormatError& e) {
    return e.what();
  }
  return "";
}

TEST(NetworkFormats, FaultsNameTheLineAndColumn) {
  const std::string head = "network x {\n}\nvariable a {\n  type discrete [ 2 ] { y, n };\n}\n";
  EXPECT_EQ(ReadFault(head + "probability ( a ) {\n  table 0.5, zz;\n}\n", Format::kBif),
            "net:7:14: expected a probability, found 'zz'");
  EXPECT_EQ(ReadFault(head + "probability ( a | b ) {\n}\n", Format::kBif),
            "net:6:19: variable 'b' is not declared");
  EXPECT_EQ(ReadFault(head + "probability ( a ) {\n  table 0.5;\n}\n", Format::kBif),
            "net:7:3: the table of 'a' needs 2 numbers, found 1");
  EXPECT_EQ(ReadFault("variable a {\n  type discrete [ 3 ] { y, n };\n}\n", Format::kBif),
            "net:2:19: variable 'a' declares 3 states but lists 2");
  EXPECT_EQ(ReadFault("variable a {\n  type continuous;\n}\n", Format::kBif),
            "net:2:8: variable 'a' is continuous: continuous variables are not read");
  EXPECT_EQ(ReadFault("variable a { type discrete [ 1 ] { y }; }\n/* open", Format::kBif),
            "net:2:1: a comment that does not end");
  // A parent row of a network with a huge table is refused before it is
  // built: 30 parents of 10 states.
  std::string wide;
  std::string given;
  for (int i = 0; i < 30; ++i) {
    wide +=
        "variable p" + std::to_string(i) + " { type discrete [ 10 ] { 0,1,2,3,4,5,6,7,8,9 }; }\n";
    given += (i ? ", p" : "p") + std::to_string(i);
  }
  wide += "variable c { type discrete [ 2 ] { y, n }; }\nprobability ( c | " + given + " ) {\n}\n";
  EXPECT_NE(ReadFault(wide, Format::kBif).find("net:32:1: the table of 'c' would have more cells"),
            std::string::npos);

  const std::string xml =
      "<BIF VERSION=\"0.3\"><NETWORK>\n"
      "<VARIABLE TYPE=\"nature\"><NAME>a</NAME><OUTCOME>y</OUTCOME></VARIABLE>\n"
      "<DEFINITION><FOR>a</FOR>\n  <GIVEN>b</GIVEN><TABLE>1</TABLE></DEFINITION>\n"
      "</NETWORK></BIF>\n";
  EXPECT_EQ(ReadFault(xml, Format::kXmlbif), "net:4:3: variable 'b' is not declared");
  EXPECT_EQ(ReadFault("<BIF><NETWORK><VARIABLE TYPE=\"decision\"><NAME>d</NAME></VARIABLE>"
                      "</NETWORK></BIF>",
                      Format::kXmlbif),
            "net:1:15: variable 'd' is of TYPE \"decision\": only nature variables are read");
  EXPECT_EQ(ReadFault("<BIF><NETWORK>\n<VARIABLE>", Format::kXmlbif).rfind("net:2:", 0), 0u);
}

TEST(NetworkFormats, DetectsTheFormatFromTheContent) {
  EXPECT_EQ(DetectFormat("// c\n/* d */ network x {}", "f"), Format::kBif);
  EXPECT_EQ(DetectFormat("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c -->\n<BIF>", "f"),
            Format::kXmlbif);
  EXPECT_EQ(DetectFormat("<PMML><BayesianNetworkModel/></PMML>", "f"), Format::kDmg);
  EXPECT_EQ(DetectFormat("<PMML><BayesNetModel/></PMML>", "f"), Format::kPmml);
  EXPECT_THROW(DetectFormat("<html/>", "f"), FormatError);
  EXPECT_THROW(DetectFormat("hello", "f"), FormatError);
}

TEST(NetworkFormats, XmlbifAndBifOfOneNetworkGiveTheSamePmml) {
  if (testnets::NetworksDir().empty()) GTEST_SKIP() << "no published networks";
  XmlPlatform xml;
  // The XMLBIF lists two nodes' parents in another order than the BIF and
  // spells numbers otherwise.
  const std::string fromXml = ToPmml(ReadFile(kData + "asia.xml"), "asia.xml", {}, "either");
  const std::string bif = testnets::NetworksDir() + "/bif/asia.bif";
  EXPECT_EQ(fromXml, ToPmml(ReadFile(bif), "asia.bif", {}, "either"));
}

// Every published BIF written as PMML, read back and written as BIF has the
// tables of the original, as the test's own reader sees them.
TEST(NetworkFormats, BifThroughPmmlKeepsEveryTable) {
  if (testnets::NetworksDir().empty()) GTEST_SKIP() << "no published networks";
  XmlPlatform xml;
  for (const std::string& path : testnets::BifFiles()) {
    SCOPED_TRACE(path);
    const std::string text = ReadFile(path);
    const Network network = ReadNetwork(text, path, Format::kBif);
    const std::string pmml = WritePmml(network, network.variables.back().name);
    const std::string back = WriteBif(ReadNetwork(pmml, "pmml", Format::kPmml));
    const testnets::Net before = testnets::ReadBifForTest(path);
    const testnets::Net after = testnets::ReadBifTextForTest(back);
    ASSERT_EQ(before.nodes.size(), after.nodes.size());
    for (std::size_t n = 0; n < before.nodes.size(); ++n) {
      const testnets::Node& a = before.nodes[n];
      const testnets::Node& b = after.nodes[static_cast<std::size_t>(after.Index(a.name))];
      ASSERT_EQ(a.states, b.states) << a.name;
      ASSERT_EQ(a.parents.size(), b.parents.size()) << a.name;
      // b's parent j is a's parent where[j].
      std::vector<std::size_t> where;
      for (int parent : b.parents) {
        const std::string& name = after.nodes[static_cast<std::size_t>(parent)].name;
        std::size_t j = 0;
        while (j < a.parents.size() &&
               before.nodes[static_cast<std::size_t>(a.parents[j])].name != name)
          ++j;
        ASSERT_LT(j, a.parents.size()) << a.name << " lost the parent " << name;
        where.push_back(j);
      }
      ASSERT_EQ(a.rows.size(), b.rows.size()) << a.name;
      for (const auto& [config, row] : b.rows) {
        std::vector<int> original(config.size());
        for (std::size_t j = 0; j < config.size(); ++j) original[where[j]] = config[j];
        EXPECT_EQ(a.rows.at(original), row) << a.name;
      }
    }
  }
}

TEST(NetworkFormats, DmgModelsScoreWithTheirTargetAndLocalBins) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto model = bnscore::Model::Load(kData + "dmg_credit.pmml", options);
  EXPECT_EQ(model->GetSchema().target, "risk");
  EXPECT_EQ(model->GetSchema().categories, (std::vector<std::string>{"low", "high"}));
  struct Case {
    const char* region;
    double age;
    double low;  // computed by hand from the document's tables
  };
  for (const Case& c : {Case{"north", 40, 0.4 / 0.46}, Case{"north", 30, 0.16 / 0.28},
                        Case{"north", 30.5, 0.4 / 0.46}, Case{"south", 60, 0.12 / 0.18}}) {
    const bnscore::NamedCell record[] = {{"region", bnscore::Cell::Of(c.region)},
                                         {"age", bnscore::Cell::Of(c.age)}};
    std::vector<double> p(2);
    ASSERT_EQ(model->ScoreOne(record, p).status, bnscore::kScored);
    EXPECT_NEAR(p[0], c.low, 1e-15) << c.region << " " << c.age;
    EXPECT_NEAR(p[1], 1 - c.low, 1e-15);
  }
  try {
    bnscore::Model::Load(kData + "dmg_continuous.pmml", options);
    ADD_FAILURE() << "a continuous node was read";
  } catch (const bnscore::ModelError& e) {
    EXPECT_EQ(e.GetMessage(), kData +
                                  "dmg_continuous.pmml:20:7: node 'income' is a "
                                  "ContinuousNode: continuous nodes are not read");
  }
  // A BIF network needs its target.
  if (!testnets::NetworksDir().empty()) {
    try {
      bnscore::Model::Load(testnets::NetworksDir() + "/bif/asia.bif", options);
      ADD_FAILURE() << "a BIF network was read without a target";
    } catch (const bnscore::ModelError& e) {
      EXPECT_NE(e.GetMessage().find("the document names no target"), std::string::npos);
    }
  }
}

// A model with binned fields, written as BIF and read back through the
// plug-in, scores as the original: its bins travel as a property.
TEST(NetworkFormats, BinnedFieldsSurviveBif) {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const std::string example = BNSCORE_EXAMPLES "/credit_risk.pmml";
  std::string bif;
  {
    XmlPlatform xml;
    bif = WriteBif(ReadNetwork(ReadFile(example), example, Format::kPmml));
  }
  EXPECT_NE(bif.find("property \"bins = 30 55 of age\" ;"), std::string::npos) << bif;
  const auto original = bnscore::Model::Load(example, options);
  options.target = "risk";
  const auto converted = bnscore::Model::LoadText(bif, options);
  ASSERT_EQ(converted->GetSchema().categories, original->GetSchema().categories);
  for (double age : {18.0, 30.0, 30.0001, 55.0, 80.0}) {
    for (double income : {1000.0, 25000.0, 60000.5}) {
      const bnscore::NamedCell record[] = {{"employment", bnscore::Cell::Of("salaried")},
                                           {"dependents", bnscore::Cell::Of("2")},
                                           {"income", bnscore::Cell::Of(income)},
                                           {"age", bnscore::Cell::Of(age)}};
      std::vector<double> a(3), b(3);
      EXPECT_EQ(original->ScoreOne(record, a).status, converted->ScoreOne(record, b).status);
      EXPECT_EQ(a, b) << age << " " << income;
    }
  }
}

// A model of this dialect written again (as a retarget does) keeps its
// learning method, its binned fields and its numbers.
TEST(NetworkFormats, RewrittenModelsScoreAsTheOriginal) {
  const std::string path = BNSCORE_TEST_DATA "/plugin_learn_adjusted.pmml";
  std::string rewritten;
  {
    XmlPlatform xml;
    const Network network = ReadNetwork(ReadFile(path), path, Format::kPmml);
    EXPECT_EQ(network.parameterLearning, "adjustedBayes");
    rewritten = WritePmml(network, "risk");
  }
  EXPECT_NE(rewritten.find("<ParameterLearning method=\"adjustedBayes\"/>"), std::string::npos);
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto original = bnscore::Model::Load(path, options);
  const auto again = bnscore::Model::LoadText(rewritten, options);
  for (const char* region : {"north", "south"}) {
    for (double income : {100.0, 40000.0, 90000.0}) {
      const bnscore::NamedCell record[] = {{"region", bnscore::Cell::Of(region)},
                                           {"rooms", bnscore::Cell::Of(2.0)},
                                           {"age", bnscore::Cell::Of(41.0)},
                                           {"income", bnscore::Cell::Of(income)}};
      std::vector<double> a(2), b(2);
      ASSERT_EQ(original->ScoreOne(record, a).status, bnscore::kScored);
      ASSERT_EQ(again->ScoreOne(record, b).status, bnscore::kScored);
      EXPECT_EQ(a, b) << region << " " << income;
    }
  }
}

// A BayesNetModel document given a target: its own target scores as the
// document read plainly; another one as the text ToPmml rewrites it to;
// a document the export reader refuses is refused with its message.
TEST(NetworkFormats, ADialectDocumentTakesATarget) {
  const std::string path = BNSCORE_TEST_DATA "/plugin_learn_adjusted.pmml";
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  const auto plain = bnscore::Model::Load(path, options);
  options.target = "risk";
  const auto own = bnscore::Model::Load(path, options);
  options.target = "region";
  const auto other = bnscore::Model::Load(path, options);
  std::string expected;
  {
    XmlPlatform xml;
    expected = ToPmml(ReadFile(path), path, Format::kPmml, "region");
  }
  EXPECT_EQ(other->GetSchema().target, "region");
  options.target.clear();
  const auto rewritten = bnscore::Model::LoadText(expected, options);
  for (double income : {100.0, 40000.0, 90000.0}) {
    const bnscore::NamedCell record[] = {{"region", bnscore::Cell::Of("north")},
                                         {"rooms", bnscore::Cell::Of(2.0)},
                                         {"age", bnscore::Cell::Of(41.0)},
                                         {"income", bnscore::Cell::Of(income)}};
    std::vector<double> a(2), b(2);
    ASSERT_EQ(plain->ScoreOne(record, a).status, bnscore::kScored);
    ASSERT_EQ(own->ScoreOne(record, b).status, bnscore::kScored);
    EXPECT_EQ(a, b) << income;
  }
  for (double income : {100.0, 90000.0}) {
    const bnscore::NamedCell record[] = {{"risk", bnscore::Cell::Of("low")},
                                         {"rooms", bnscore::Cell::Of(2.0)},
                                         {"age", bnscore::Cell::Of(41.0)},
                                         {"income", bnscore::Cell::Of(income)}};
    std::vector<double> a(2), b(2);
    ASSERT_EQ(other->ScoreOne(record, a).status, bnscore::kScored);
    ASSERT_EQ(rewritten->ScoreOne(record, b).status, bnscore::kScored);
    EXPECT_EQ(a, b) << income;
  }

  const std::string refused = BNSCORE_TEST_DATA "/plugin_fault_parent_value.pmml";
  options.target = "risk";
  try {
    bnscore::Model::Load(refused, options);
    ADD_FAILURE() << "read " << refused;
  } catch (const bnscore::ModelError& e) {
    EXPECT_EQ(e.GetCode(), 9);
    EXPECT_EQ(e.GetMessage(), refused + ":90:9: 'west' is not a value of 'region'");
  }
}

}  // namespace
