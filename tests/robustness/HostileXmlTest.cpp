// Hostile PMML: external entities, parameter entities, external DTDs and
// entity-expansion bombs are refused by the host's parser with code 9 and
// a message that says why, without reading a file, opening a connection or
// expanding anything; bnscore reports them as rejected models (status 2).
// So are the other declarations of a DOCTYPE and documents beyond the
// parser's limits (what refusing them costs: HostileBudgetTest.cpp).
//
// File access is checked with a local file that inotify watches for any
// open, and whose marker text must appear nowhere; network access with a
// listening socket on the loopback interface that must receive no
// connection.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>
#include <xercesc/dom/DOMElement.hpp>

#include "host/interfaces/VkException.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"
#include "tests/TestProcess.h"

namespace {

using testprocess::TempPath;

// A TCP socket listening on 127.0.0.1 at a free port.
class Listener {
 public:
  Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      ADD_FAILURE() << "cannot listen on the loopback interface";
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd_); }

  std::string Url(const std::string& file) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
  }
  // True when a connection is waiting (or was accepted).
  bool WasContacted() const {
    int client = ::accept(fd_, nullptr, nullptr);
    if (client >= 0) ::close(client);
    return client >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
  }

 private:
  int fd_;
  int port_ = 0;
};

// Watches a file for being opened, by this process or any other.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK)) {
    if (fd_ < 0 || ::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS) < 0) {
      ADD_FAILURE() << "cannot watch " << path;
    }
  }
  ~OpenWatch() { ::close(fd_); }

  bool WasOpened() const {
    char events[4096];
    return ::read(fd_, events, sizeof events) > 0;
  }

 private:
  int fd_;
};

class HostileXml : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
    std::ofstream(secret_, std::ios::binary) << kMarker << "\n";
  }
  void TearDown() override { std::remove(secret_.c_str()); }

  // The code and message of the parser's refusal of `text`; (0, "") when
  // it reads the text.
  static std::pair<int, std::string> Refusal(const std::string& text,
                                             const DocumentLimits& limits = {}) {
    XmlPlatform platform;
    try {
      PmmlParser::ParseText(text, "hostile.pmml", limits);
    } catch (const VkException& e) {
      return {e.GetCode(), e.GetMessage()};
    }
    return {0, ""};
  }

  // Runs `bnscore check` on `text` saved as a file; checks the status-2
  // report of error 9 holding `reason` on one line, and returns the run.
  static testprocess::Outcome Check(const std::string& text, const std::string& reason) {
    const std::string path = TempPath("hostile.pmml");
    std::ofstream(path, std::ios::binary) << text;
    testprocess::Outcome run = testprocess::Run(BNSCORE_BIN_DIR "/bnscore", {"check", path});
    std::remove(path.c_str());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind("bnscore: " + path + ":", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(": error 9: " + path + ":"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.out, "");
    return run;
  }

  static constexpr const char* kMarker = "hostile-xml-marker-7d1f";
  const std::string secret_ = TempPath("hostile_secret.txt");
};

TEST_F(HostileXml, ExternalEntitiesNeverReadAFile) {
  const std::string general =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML [\n <!ENTITY x SYSTEM \"file://" + secret_ +
      "\">\n]>\n<PMML>&x;</PMML>\n";
  const std::string relative = "<!DOCTYPE PMML [<!ENTITY x SYSTEM \"" + secret_ +
                               "\">]><PMML><Header description=\"&x;\"/></PMML>";
  const std::string parameter =
      "<!DOCTYPE PMML [\n <!ENTITY % p SYSTEM \"" + secret_ + "\">\n %p;\n]>\n<PMML/>\n";
  OpenWatch watch(secret_);
  for (const std::string& text : {general, relative, parameter}) {
    auto refusal = Refusal(text);
    EXPECT_EQ(refusal.first, 9) << text;
    EXPECT_NE(refusal.second.find("external entities are not allowed"), std::string::npos)
        << refusal.second;
    EXPECT_EQ(refusal.second.find(kMarker), std::string::npos);
    testprocess::Outcome run = Check(text, "external entities are not allowed");
    EXPECT_EQ(run.err.find(kMarker), std::string::npos) << run.err;
  }
  EXPECT_FALSE(watch.WasOpened());
  // The refusal names the place of the declaration.
  EXPECT_EQ(Refusal(general).second.rfind("hostile.pmml:3:", 0), 0u) << Refusal(general).second;
}

TEST_F(HostileXml, InternalEntitiesAreRefusedBeforeAnyExpansion) {
  // A parameter entity that declares an external entity once expanded.
  const std::string declaration = " <!ENTITY % p \"<!ENTITY q SYSTEM 'file://" + secret_ + "'>\">";
  const std::string nested = "<!DOCTYPE PMML [\n" + declaration + "\n %p;\n]>\n<PMML>&q;</PMML>\n";
  // Refused at the end of the declaration, before %p; is reached.
  EXPECT_EQ(Refusal(nested),
            std::make_pair(9, "hostile.pmml:2:" + std::to_string(declaration.size() + 1) +
                                  ": entity 'p': entity declarations are not allowed"));
  OpenWatch watch(secret_);
  Check(nested, "entity 'p': entity declarations are not allowed");
  EXPECT_FALSE(watch.WasOpened());

  // Exponential: nine levels of ten references (a thousand million "lol"s).
  std::string laughs = "<!DOCTYPE PMML [\n <!ENTITY a \"lol\">\n";
  for (char c = 'b'; c <= 'j'; ++c) {
    laughs += std::string(" <!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(c - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<PMML>&j;</PMML>\n";
  testprocess::Outcome run = Check(laughs, ":2:");
  EXPECT_NE(run.err.find("entity 'a': entity declarations are not allowed"), std::string::npos);
}

TEST_F(HostileXml, NothingIsFetchedFromTheNetwork) {
  Listener listener;
  const std::string system = "<?xml version=\"1.0\"?>\n<!DOCTYPE PMML SYSTEM \"" +
                             listener.Url("pmml.dtd") + "\">\n<PMML/>\n";
  const std::string publicId = "<!DOCTYPE PMML PUBLIC \"-//Hostile//DTD PMML//EN\" \"" +
                               listener.Url("public.dtd") + "\"><PMML/>";
  const std::string both =
      "<!DOCTYPE PMML SYSTEM \"" + listener.Url("both.dtd") + "\" [<!ELEMENT PMML ANY>]><PMML/>";
  for (const std::string& text : {system, publicId, both}) {
    auto refusal = Refusal(text);
    EXPECT_EQ(refusal.first, 9) << text;
    EXPECT_NE(refusal.second.find("external DTDs are not allowed"), std::string::npos)
        << refusal.second;
    EXPECT_NE(refusal.second.find(listener.Url("")), std::string::npos) << refusal.second;
    Check(text, "external DTDs are not allowed");
  }
  // Refused at the DOCTYPE's closing '>'.
  const std::string doctype = "<!DOCTYPE PMML SYSTEM \"" + listener.Url("pmml.dtd") + "\">";
  EXPECT_EQ(Refusal("<?xml version=\"1.0\"?>\n" + doctype + "\n<PMML/>\n").second,
            "hostile.pmml:2:" + std::to_string(doctype.size()) + ": external DTD '" +
                listener.Url("pmml.dtd") + "': external DTDs are not allowed");

  const std::string parameter =
      "<!DOCTYPE PMML [<!ENTITY % p SYSTEM \"" + listener.Url("p.dtd") + "\"> %p;]><PMML/>";
  EXPECT_EQ(Refusal(parameter).first, 9);
  Check(parameter, "external entities are not allowed");

  // A schema location is an attribute like any other: never followed.
  const std::string schema =
      "<PMML xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"urn:pmml " +
      listener.Url("pmml.xsd") + "\"/>";
  EXPECT_EQ(Refusal(schema).first, 0);

  EXPECT_FALSE(listener.WasContacted());
}

TEST_F(HostileXml, EveryDeclarationIsRefused) {
  // Each refused where the scanner stands: after an ATTLIST's element name,
  // at the end of an ELEMENT or NOTATION declaration. (The column of a
  // start tag's refusal is the one after its '>'.)
  EXPECT_EQ(Refusal("<!DOCTYPE PMML [\n <!ATTLIST Z q CDATA \"x\">\n]>\n<PMML><Z/></PMML>"),
            std::make_pair(9, std::string("hostile.pmml:2:13: <!ATTLIST Z>: declarations are not "
                                          "allowed in a DOCTYPE")));
  EXPECT_EQ(Refusal("<!DOCTYPE PMML [<!ELEMENT PMML ANY>]><PMML/>"),
            std::make_pair(9, std::string("hostile.pmml:1:36: <!ELEMENT PMML>: declarations are "
                                          "not allowed in a DOCTYPE")));
  EXPECT_EQ(Refusal("<!DOCTYPE PMML [<!NOTATION n SYSTEM \"x\">]><PMML/>"),
            std::make_pair(9, std::string("hostile.pmml:1:40: <!NOTATION n>: declarations are "
                                          "not allowed in a DOCTYPE")));
  Check("<!DOCTYPE PMML [<!ATTLIST PMML version CDATA #FIXED \"3.1\">]><PMML/>",
        ":1:31: <!ATTLIST PMML>: declarations are not allowed in a DOCTYPE");
  // A DOCTYPE that declares nothing is read.
  EXPECT_EQ(Refusal("<!DOCTYPE PMML><PMML/>").first, 0);
  EXPECT_EQ(Refusal("<!DOCTYPE PMML [\n <!-- none --> <?pi x?>\n]>\n<PMML/>").first, 0);
}

TEST_F(HostileXml, DocumentsBeyondTheLimitsAreRefused) {
  auto nested = [](std::size_t levels) {
    std::string text;
    for (std::size_t i = 0; i < levels; ++i) text += "<a>";
    for (std::size_t i = 0; i < levels; ++i) text += "</a>";
    return text;
  };
  EXPECT_EQ(Refusal(nested(PmmlParser::kMaxDepth)).first, 0);
  EXPECT_EQ(
      Refusal("\n" + nested(PmmlParser::kMaxDepth + 1)),
      std::make_pair(9, "hostile.pmml:2:" + std::to_string(3 * (PmmlParser::kMaxDepth + 1) + 1) +
                            ": element <a> is nested more than 256 levels deep: deeper "
                            "documents are not read"));

  // Every kind of node counts but comments: the root and its attribute, a
  // processing instruction, a CDATA section and the text after it.
  std::string nodes = "<PMML b=''><!--c--><?p?><![CDATA[c]]>x";
  for (std::size_t i = 5; i < PmmlParser::kMaxNodes; ++i) nodes += "<a/>";
  EXPECT_EQ(Refusal(nodes + "</PMML>").first, 0);
  EXPECT_EQ(Refusal(nodes + "<a/></PMML>"),
            std::make_pair(9, "hostile.pmml:1:" + std::to_string(nodes.size() + 5) +
                                  ": more than 200000 nodes (elements, attributes, text, CDATA "
                                  "sections, processing instructions): larger documents are not "
                                  "read"));

  // PMML, b and the elements' names.
  std::string names = "<PMML b=''>";
  for (std::size_t i = 2; i < PmmlParser::kMaxNames; ++i) names += "<a" + std::to_string(i) + "/>";
  EXPECT_EQ(Refusal(names + "<a2/></PMML>").first, 0);
  EXPECT_EQ(Refusal(names + "<z/></PMML>").second,
            "hostile.pmml:1:" + std::to_string(names.size() + 5) +
                ": more than 10000 distinct element and attribute names: such documents are not "
                "read");

  // The size limit, and the node limit that grows with the size: at 8
  // bytes a node, a 2 MiB document may hold 262,144 nodes.
  DocumentLimits limits;
  limits.maxDocumentBytes = 2u << 20;
  std::string large(limits.maxDocumentBytes + 1, ' ');
  large.replace(0, 7, "<PMML/>");
  const auto tooLarge = std::make_pair(
      9, std::string("hostile.pmml: the document is larger than 2 MiB: larger documents are "
                     "not read"));
  EXPECT_EQ(Refusal(large, limits), tooLarge);
  large.pop_back();
  EXPECT_EQ(Refusal(large, limits).first, 0);
  // Padded to 2 MiB: the root and 262,143 elements, then one more.
  auto padded = [&limits](int elements) {
    std::string text = "<PMML>";
    for (int i = 0; i < elements; ++i) text += "<a/>";
    text += "</PMML>";
    return text + std::string(limits.maxDocumentBytes - text.size(), ' ');
  };
  EXPECT_EQ(Refusal(padded(262143), limits).first, 0);
  EXPECT_NE(Refusal(padded(262144), limits).second.find(": more than 262144 nodes"),
            std::string::npos);
  large += "  ";
  std::istringstream stream(large);
  XmlPlatform platform;
  try {
    PmmlParser::ParseStream(stream, "hostile.pmml", limits);
    ADD_FAILURE() << "a stream beyond the size limit was read";
  } catch (const VkException& e) {
    EXPECT_EQ(std::make_pair(e.GetCode(), e.GetMessage()), tooLarge);
  }

  // A file whose size is not known beforehand, a FIFO, is read from its start.
  const std::string fifo = TempPath("hostile.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&fifo] { std::ofstream(fifo, std::ios::binary) << "<PMML><a/></PMML>"; });
  DocumentPtr document;
  EXPECT_NO_THROW(document = PmmlParser::ParseFile(fifo));
  writer.join();
  std::remove(fifo.c_str());
  ASSERT_NE(document, nullptr);
  EXPECT_NE(document->getDocumentElement()->getFirstChild(), nullptr);
}

}  // namespace
