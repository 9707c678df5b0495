#include "cli/UnscoredDiagnosis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/FileDescriptor.h"
#include "bnscore/FdStreams.h"

namespace bnscore::cli {

namespace {

// One kind of reason of one field, e.g. ("temperature", "not a number").
struct Cause {
  long records = 0;
  std::string example;  // the first value quoted in a reason of this kind
};

// The reason kinds StatusReason gives after "FIELD: ", longest first, with
// the phrase for "N of M" of them.
struct Kind {
  const char* prefix;
  const char* one;
  const char* many;
};
const Kind kKinds[] = {
    {"missing (no such column)", "record has no such column", "records have no such column"},
    {"missing (derived)", "derived value is missing", "derived values are missing"},
    {"missing", "cell is missing", "cells are missing"},
    {"not a number \"", "cell is not a number", "cells are not numbers"},
    {"unknown category \"", "cell is no category of the field",
     "cells are no category of the field"},
};

// "FIELD: KIND..." -> (FIELD, kind index), the quoted value in `example`;
// kind -1 (and the whole text as the field) for any other reason.
std::pair<std::string, int> Classify(std::string_view reason, std::string& example) {
  for (std::size_t colon = reason.find(": "); colon != std::string_view::npos;
       colon = reason.find(": ", colon + 1)) {
    const std::string_view rest = reason.substr(colon + 2);
    for (int k = 0; k < static_cast<int>(std::size(kKinds)); ++k) {
      const std::string_view prefix = kKinds[k].prefix;
      if (rest.compare(0, prefix.size(), prefix) != 0) continue;
      if (prefix.back() == '"') {
        const std::string_view quoted = rest.substr(prefix.size());
        const std::size_t end = quoted.rfind('"');
        example = std::string(quoted.substr(0, end == std::string_view::npos ? 0 : end));
      } else if (rest.size() != prefix.size()) {
        continue;  // "missing" is the whole text
      }
      return {std::string(reason.substr(0, colon)), k};
    }
  }
  return {std::string(reason), -1};
}

// Counts the reasons of the records it takes, up to `maxRecords`; at the
// next one it throws Enough.
class ReasonTally : public bnscore::OutcomeSink {
 public:
  struct Enough {};

  explicit ReasonTally(long maxRecords) : maxRecords_(maxRecords) {}

  void Take(const bnscore::ScoredRecord& record) override {
    if (examined == maxRecords_) throw Enough();
    ++examined;
    if (record.outcome.status == bnscore::kScored) scored = true;
    std::string example;
    Cause& cause = causes[Classify(record.reason, example)];
    if (cause.records++ == 0) cause.example = example;
  }

  std::map<std::pair<std::string, int>, Cause> causes;
  long examined = 0;
  bool scored = false;  // a record scored: not the input that was scored

 private:
  long maxRecords_;
};

}  // namespace

std::string DiagnoseUnscored(const bnscore::Model& model, const ScoreOptions& options,
                             long maxRecords) {
  try {
    if (options.recordsPath == "-") {
      struct stat info;
      if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISREG(info.st_mode) ||
          ::lseek(STDIN_FILENO, 0, SEEK_SET) != 0) {
        return {};
      }
    }
    FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
    bnscore::CsvOptions explained = options;
    explained.reason = true;
    explained.recordsWritten = nullptr;
    ReasonTally tally(maxRecords);
    bool more = false;  // records left unread
    FdSource source(input.Get(), input.GetName());
    try {
      model.ScoreEach(source, input.GetName(), tally, explained);
    } catch (const ReasonTally::Enough&) {
      more = true;
    }
    if (tally.scored) return {};
    if (!more) input.FinishReading();  // (gzip: its thread ends only at the end)
    const auto& causes = tally.causes;
    const long examined = tally.examined;
    if (causes.empty()) return {};
    auto commonest = causes.begin();
    for (auto c = causes.begin(); c != causes.end(); ++c) {
      if (c->second.records > commonest->second.records) commonest = c;
    }
    const auto& [key, cause] = *commonest;
    const std::string counted = std::to_string(cause.records) + " of " + std::to_string(examined);
    const std::string sample =
        more ? " (in the first " + std::to_string(examined) + " records)" : std::string();
    if (key.second < 0) {
      return counted + (examined == 1 ? " record: " : " records: ") + key.first + sample;
    }
    const Kind& kind = kKinds[key.second];
    std::string text = key.first + ": " + counted + " " + (examined == 1 ? kind.one : kind.many);
    if (kind.prefix[std::string_view(kind.prefix).size() - 1] == '"') {
      text += " (e.g. \"" + cause.example + "\")";
    }
    return text + sample;
  } catch (const std::exception&) {
    return {};  // the input is not as it was when it was scored
  }
}

}  // namespace bnscore::cli
