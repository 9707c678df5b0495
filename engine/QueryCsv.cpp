// Model::QueryCsv: CSV records in, the posteriors of some nodes out, through
// the public Query.
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "host/text/NumberText.h"

namespace bnscore {

using namespace bnscore::internal;

long Model::QueryCsv(ByteSource& input, std::string_view inputName, ByteSink& output,
                     const std::vector<std::string>& nodes, char delimiter,
                     std::optional<EvidenceOptions> evidence) const {
  if (!evidence) evidence = EvidenceOptions{GetOptions().missing, GetOptions().unknown};
  const std::vector<Node> all = GetNodes();
  std::vector<int> indexes;
  std::size_t total = 0;
  std::string headers = "status";
  for (const std::string& name : nodes) {
    const int node = FindNode(name);
    if (node < 0) {
      std::string known;
      for (const Node& n : all) known += (known.empty() ? "" : ", ") + n.name;
      throw Error("no node \"" + name + "\" in the model (its nodes: " + known + ")");
    }
    indexes.push_back(node);
    total += all[static_cast<std::size_t>(node)].categories.size();
  }
  {
    CsvReader reader(input, std::string(inputName));
    reader.SetDelimiter(delimiter);
    CsvWriter writer(output, "the output");
    writer.SetDelimiter(delimiter);
    if (!reader.ReadRow()) throw CsvError(std::string(inputName), 1, "the input is empty");
    const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());
    writer.WriteField("status");
    for (int node : indexes) {
      const Node& n = all[static_cast<std::size_t>(node)];
      for (const std::string& category : n.categories) {
        writer.WriteField("probability(" + n.name + "=" + category + ")");
      }
    }
    writer.EndRow();
    std::vector<NamedCell> record(header.size());
    std::vector<double> posteriors(total);
    NumberTextBuffer text;
    long records = 0;
    while (reader.ReadRow()) {
      if (reader.GetNumFields() != header.size()) {
        throw CsvError(std::string(inputName), reader.GetLine(),
                       "the row has " + std::to_string(reader.GetNumFields()) +
                           " fields but the header has " + std::to_string(header.size()));
      }
      for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string_view cell = reader.GetFields()[i];
        record[i] = NamedCell{header[i], cell.empty() ? Cell::Missing() : Cell::Of(cell)};
      }
      const int status = Query(record, indexes, posteriors, *evidence);
      ++records;
      writer.WriteField(FormatNumberView(status, text));
      for (double p : posteriors) {
        writer.WriteField(status == kScored ? FormatNumberView(p, text) : std::string_view());
      }
      writer.EndRow();
    }
    writer.Flush();
    return records;
  }
}

}  // namespace bnscore
