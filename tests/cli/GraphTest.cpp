// bnscore graph: the DOT text of the CLI tests' network, and SVG through
// Graphviz's dot whether or not it is installed.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/cli/BnscoreProcess.h"

namespace {

const std::string kData = BNSCORE_TEST_DATA "/";

// Whether `program` is an executable file in a folder of PATH.
bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    if (::access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

TEST(GraphTest, WritesTheNetworkAsDot) {
  testprocess::Outcome run = RunBnscore({"graph", kData + "cli_network.pmml"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "digraph \"cli_network.pmml\" {\n"
            "  label=\"target t (orange); its Markov blanket in blue\";\n"
            "  labelloc=t;\n"
            "  fontname=Helvetica;\n"
            "  rankdir=TB;\n"
            "  node [shape=box, style=\"rounded,filled\", fillcolor=white, fontname=Helvetica];\n"
            "  \"t\" [label=\"t\\n(target)\\ngood | bad, \\\"really\\\"\", fillcolor=\"#f4b183\", "
            "penwidth=2];\n"
            "  \"x\" [label=\"x\\nu | v | z\", fillcolor=\"#bdd7ee\"];\n"
            "  \"n\" [label=\"n\\nbins (n_bin):\\nsmall <= 10 < large\", fillcolor=\"#bdd7ee\"];\n"
            "  \"t\" -> \"x\";\n"
            "  \"t\" -> \"n\";\n"
            "}\n");

  // Fields outside the target's Markov blanket stay white; names that need
  // escaping are escaped.
  run = RunBnscore({"graph", kData + "plugin_edges.pmml"});
  EXPECT_NE(run.out.find("  \"num\" [label=\"num\\n1 | 2\"];\n"), std::string::npos) << run.out;
  // "T; v; yes" followed by a line break is no arc to the plug-in (its flag
  // is not "yes"), so v, which is no input either, is not drawn.
  EXPECT_EQ(run.out.find("\"v\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  \"a;b\" -> \"z\";\n"), std::string::npos);
}

TEST(GraphTest, SvgNeedsGraphvizAndSaysSoWhenItIsMissing) {
  const std::string model = kData + "cli_network.pmml";
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  if (OnPath("dot")) {
    testprocess::Outcome run = RunBnscore({"graph", "--format", "svg", model});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("<svg"), std::string::npos);
    EXPECT_NE(run.out.find("small &lt;= 10 &lt; large"), std::string::npos);
  }
  ::setenv("PATH", "/nonexistent", 1);
  testprocess::Outcome run = RunBnscore({"graph", "--format", "svg", model});
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "bnscore: --format svg needs Graphviz's dot, which is not installed (on Debian: "
            "apt-get install graphviz); --format dot writes the graph for any other renderer\n");
}

}  // namespace
