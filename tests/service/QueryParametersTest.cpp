// A request's query parameters: cut, then percent-decoded, every one the
// same way, and what the inference parameters make of them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/InferenceParameters.h"
#include "service/QueryParameters.h"
#include "service/RequestError.h"

namespace {

using namespace bnscore::service;

// The message of the RequestError that parsing `target` throws, with its
// status, or "" when it throws none.
std::string Refusal(const std::string& target) {
  try {
    InferenceParameters::Parse(target, {});
  } catch (const RequestError& e) {
    return std::to_string(e.GetStatus()) + " " + e.what();
  }
  return "";
}

TEST(QueryParametersTest, NamesAndValuesAreDecodedAfterTheCut) {
  const QueryParameters query =
      QueryParameters::Parse("/models/m/score?%74arget=a%26b%3Dc&flag&&x=1+2&x=2&e=");
  ASSERT_EQ(query.All().size(), 5u);
  // An escaped '&' or '=' is part of the value, not a cut.
  ASSERT_NE(query.Find("target"), nullptr);
  EXPECT_EQ(query.Find("target")->value, "a&b=c");
  EXPECT_FALSE(query.Find("flag")->hasValue);
  EXPECT_EQ(query.Find("x")->value, "1+2");  // '+' stays: the query is no form
  EXPECT_TRUE(query.Find("e")->hasValue);
  EXPECT_EQ(query.Find("e")->value, "");
  EXPECT_EQ(query.Find("missing"), nullptr);
  EXPECT_TRUE(QueryParameters::Parse("/models/m/score").All().empty());
}

TEST(QueryParametersTest, AMalformedEscapeIsRefusedNamingTheParameter) {
  for (const auto& [target, parameter] : std::vector<std::pair<std::string, std::string>>{
           {"/s?explain=%2", "explain=%2"},
           {"/s?missing=stop&node=a%zzb", "node=a%zzb"},
           {"/s?node=a%", "node=a%"},
           {"/s?ex%plain=3", "ex%plain=3"},
           {"/s?missing=stop&%g1", "%g1"}}) {
    EXPECT_EQ(Refusal(target), "400 query parameter " + parameter +
                                   ": a % must be followed by two hexadecimal digits")
        << target;
  }
}

TEST(InferenceParametersTest, EveryParameterIsReadDecoded) {
  const InferenceParameters parameters = InferenceParameters::Parse(
      "/models/m/query?missing=marginaliz%65&%75nknown=missing&explain=%31%32"
      "&node=a%2Cb&node=%2C%63,",
      {});
  ASSERT_TRUE(parameters.evidence.has_value());
  EXPECT_EQ(parameters.evidence->missing, bnscore::MissingValues::kMarginalize);
  EXPECT_EQ(parameters.evidence->unknown, bnscore::UnknownValues::kMissing);
  EXPECT_EQ(parameters.explain, 12);
  // A decoded comma separates nodes as a plain one does; empty names drop.
  EXPECT_EQ(parameters.nodes, (std::vector<std::string>{"a", "b", "c"}));
  // A value refused is named as decoded.
  EXPECT_EQ(Refusal("/s?missing=may%62e"),
            "400 query parameter missing=maybe: use stop or marginalize");
  EXPECT_EQ(Refusal("/s?explain=%2D1"),
            "400 query parameter explain=-1: use a number of reasons from 0 to 1000");
}

}  // namespace
