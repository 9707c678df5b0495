#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/reader/FieldText.h"

namespace {

using Fields = std::vector<std::string>;

struct SplitCase {
  std::string text;
  bool ok;
  Fields fields;
};

TEST(SplitEscapedTest, FieldsAndEscapes) {
  const SplitCase cases[] = {
      {"", true, {}},
      {"a", true, {"a"}},
      {"a;b;c", true, {"a", "b", "c"}},
      {"a;b;", true, {"a", "b"}},  // a trailing separator adds nothing
      {";a", true, {"", "a"}},     // a leading one gives an empty field
      {"a;;b", true, {"a", "", "b"}},
      {";", true, {""}},
      {" a ; b ", true, {" a ", " b "}},  // blanks are the trimmer's business
      {"a\\;b;c", true, {"a;b", "c"}},
      {"a\\\\b", true, {"a\\b"}},
      {"a;b\\;", true, {"a", "b;"}},  // an escaped separator at the very end
      {"\\\\", true, {"\\"}},
      {"a\\b;c", false, {"a\\b;c"}},  // bad escape: the rest is one field
      {"x;a\\b;c", false, {"x", "a\\b;c"}},
      {"x;\\", false, {"x", "\\"}},  // a backslash at the end
      {"x\\;y;a\\n", false, {"x;y", "a\\n"}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE("text: " + c.text);
    Fields fields = {"stale"};
    EXPECT_EQ(fieldtext::SplitEscaped(fields, c.text), c.ok);
    EXPECT_EQ(fields, c.fields);
  }
}

TEST(TrimBlanksTest, OnlySpacesAtBothEnds) {
  EXPECT_EQ(fieldtext::TrimBlanks("  a  "), "a");
  EXPECT_EQ(fieldtext::TrimBlanks(" a b "), "a b");
  EXPECT_EQ(fieldtext::TrimBlanks("a"), "a");
  EXPECT_EQ(fieldtext::TrimBlanks(""), "");
  EXPECT_EQ(fieldtext::TrimBlanks("   "), "   ");  // all blanks: unchanged
  EXPECT_EQ(fieldtext::TrimBlanks("\tyes\n"), "\tyes\n");
  EXPECT_EQ(fieldtext::TrimBlanks(" yes\n "), "yes\n");
  EXPECT_EQ(fieldtext::TrimBlanks(" \nrisk"), "\nrisk");
}

}  // namespace
