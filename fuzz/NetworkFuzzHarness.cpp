#include "fuzz/NetworkFuzzHarness.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/FormatError.h"
#include "formats/NetworkWriters.h"
#include "formats/PmmlWriter.h"

using namespace bnscore::formats;

namespace {

// The same variables, states, parents and tables (a row not given reads
// back as zeros from XMLBIF and BIF, which have no way to leave it out).
bool SameTables(const Network& a, const Network& b) {
  if (a.variables.size() != b.variables.size()) return false;
  for (std::size_t v = 0; v < a.variables.size(); ++v) {
    const Variable& x = a.variables[v];
    const Variable& y = b.variables[v];
    if (x.name != y.name || x.states != y.states || x.parents != y.parents ||
        x.table.size() != y.table.size()) {
      return false;
    }
    const std::size_t states = x.states.size();
    for (std::size_t i = 0; i < x.table.size(); ++i) {
      const double want = x.RowGiven(i / states) ? x.table[i] : 0.0;
      if (y.table[i] != want) return false;
    }
  }
  return true;
}

void RoundTrip(const Network& network, const std::string& text, Format format) {
  try {
    const Network back = ReadNetwork(text, "written", format);
    if (!SameTables(network, back)) std::abort();
  } catch (const FormatError&) {
    // Names a format cannot hold are refused by its writer; what it wrote
    // must read back.
    std::abort();
  }
}

}  // namespace

void RunNetworkInput(const std::uint8_t* data, std::size_t size, Format format) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Network network;
  try {
    network = ReadNetwork(text, "fuzz", format);
  } catch (const FormatError&) {
    return;
  }
  if (network.variables.empty()) return;
  std::string written;
  try {
    written = WriteXmlbif(network);
  } catch (const FormatError&) {
    written.clear();
  }
  if (!written.empty()) RoundTrip(network, written, Format::kXmlbif);
  try {
    written = WriteBif(network);
  } catch (const FormatError&) {
    written.clear();
  }
  if (!written.empty()) RoundTrip(network, written, Format::kBif);
  for (const Variable& target : network.variables) {
    if (target.discretization) continue;
    try {
      written = WritePmml(network, target.name);
    } catch (const FormatError&) {
      return;
    }
    try {
      const Network back = ReadNetwork(written, "written", Format::kPmml);
      if (back.variables.size() != network.variables.size()) std::abort();
    } catch (const FormatError&) {
      std::abort();
    }
    return;
  }
}
