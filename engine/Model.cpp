// bnscore::Model: the public API over the engine's pieces.
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <sstream>

#include "bnscore/bnscore.h"
#include "engine/EngineError.h"
#include "engine/ExplainColumns.h"
#include "engine/ColumnBatch.h"
#include "engine/CsvScoring.h"
#include "engine/DefaultPlugin.h"
#include "engine/FieldLayout.h"
#include "engine/LoadedModel.h"
#include "engine/ModelViews.h"
#include "engine/NameProbe.h"
#include "engine/RecordScoring.h"
#include "engine/ScoringSlotPool.h"
#include "engine/TargetCategories.h"
#include "engine/WorkerPool.h"
#include "engine/XmlTurns.h"
#include "host/interfaces/ColumnScoring.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/VkException.h"
#include "host/xml/XmlPlatform.h"

namespace bnscore {

using namespace bnscore::internal;

namespace {

// Rows below which a batch is not worth another thread.
constexpr std::size_t kMinRowsPerThread = 1024;

}  // namespace

// Members are destroyed in reverse order: the slots (which hold the
// plug-in's result objects) before the model and its plug-in library.
struct Model::Impl {
  LoadOptions options;
  std::unique_ptr<LoadedModel> loaded;
  std::unique_ptr<FieldLayout> layout;
  std::unique_ptr<TargetCategories> categories;
  Schema schema;
  std::unique_ptr<ScoringSlotPool> pool;
  // The model's own scoring of columns, when it has one whose categories
  // are `categories` in order and records are read by position with no
  // derived values in them; else null (every row goes through a slot).
  const ColumnScoring* columnScoring = nullptr;
  std::once_flag warmedUp;
  // The model's inference, when the plug-in offers it, and its nodes
  // (read on first use).
  EvidenceInference* inference = nullptr;
  std::once_flag nodesRead;
  std::vector<Node> nodes;

  const std::vector<Node>& GetNodes() {
    if (inference == nullptr) throw Error("the model plug-in offers no inference");
    std::call_once(nodesRead, [this] {
      const std::vector<std::string> names = inference->GetNodeNames();
      for (std::size_t n = 0; n < names.size(); ++n) {
        nodes.push_back(Node{names[n], inference->GetNodeCategories(static_cast<int>(n))});
      }
    });
    return nodes;
  }

  // Last: its threads stop before anything they may use goes.
  WorkerPool workers;

  ScoreModel& GetModel() const { return loaded->GetModel(); }

  // Everything after the plug-in has read the model: the layout, the
  // schema and the slot pool.
  void Prepare() {
    ScoreModel& model = GetModel();
    model.SetPredictionOnly(options.predictionOnly);
    layout = std::make_unique<FieldLayout>(model, options.derivedInRecord, options.byName);
    categories = std::make_unique<TargetCategories>(model);
    const ScoreDictVar* target = model.GetTargetVar();
    if (target != nullptr) schema.target = target->GetName();
    schema.categories = categories->GetLabels();
    if (!options.byName && !options.derivedInRecord) {
      const auto* scoring = dynamic_cast<const ColumnScoring*>(&model);
      if (scoring != nullptr && SameCategories(scoring->GetColumnCategories())) {
        columnScoring = scoring;
      }
    }
    inference = dynamic_cast<EvidenceInference*>(&model);
    pool = std::make_unique<ScoringSlotPool>([this] {
      return std::make_unique<ScoringSlot>(GetModel(), *layout, *categories, options);
    });
    WarmUp();
    // The layout ends with the target; the schema lists it only when the
    // model reads it as a predictor, which the warm-up showed by giving it
    // a record position.
    const ScoreDictVar* indexed = target != nullptr && model.GetDictionary() != nullptr
                                      ? model.GetDictionary()->GetVariable(schema.target)
                                      : nullptr;
    const bool targetRead =
        indexed != nullptr && (options.byName ? AsksForTarget() : indexed->GetIndex() >= 0);
    for (int i = 0; i < layout->Size(); ++i) {
      const std::string& name = layout->GetNames()[static_cast<std::size_t>(i)];
      if (target != nullptr && name == schema.target && !targetRead) continue;
      schema.inputs.push_back(
          Field{name, layout->IsNumeric(i) ? FieldKind::kNumber : FieldKind::kText});
    }
  }

  // Whether the model, reading records by name, asks them for the target
  // (a target that is an active field too): a record with every field
  // summed out shows it.
  bool AsksForTarget() {
    if (inference == nullptr) return false;
    NameProbe probe;
    ScoreResult* result = nullptr;
    EvidenceInference::Options sumOut;
    sumOut.sumOutMissing = true;
    inference->ScoreEvidence(&probe, result, options.derivedInRecord, sumOut);
    delete result;  // the caller's
    return probe.WasAsked(schema.target);
  }

  // Whether `values` are the categories, in order (each equal to the
  // category it stands for, as the result reader compares them).
  bool SameCategories(const std::vector<const ScoreValue*>& values) const {
    if (values.size() != categories->Size()) return false;
    for (std::size_t c = 0; c < values.size(); ++c) {
      if (values[c] == nullptr || !(categories->GetValue(c) == *values[c])) return false;
    }
    return true;
  }

  // Before the first scoring call: one record with every field missing,
  // which fixes the record positions of the layout in the model's
  // variables (the host takes them from the first indexed record), so that
  // the model's column scoring finds its columns by position.
  void WarmUp() {
    std::call_once(warmedUp, [this] {
      ScoringSlotPool::Lease slot = pool->Acquire();
      slot->ClearAll();
      slot->Score({});
    });
  }
};

namespace {

// The parser's limits that `options` ask for.
DocumentLimits LimitsOf(const LoadOptions& options) {
  DocumentLimits limits;
  if (options.maxDocumentBytes != 0) limits.maxDocumentBytes = options.maxDocumentBytes;
  if (options.maxNodes != 0) {
    limits.minNodes = options.maxNodes;
    limits.bytesPerNode = 0;
  }
  return limits;
}

// Reads a model with `read`, which is given the plug-in path. The one place
// where the host's faults (VkException) become the API's ModelError.
std::unique_ptr<LoadedModel> ReadModel(
    const LoadOptions& options,
    const std::function<std::unique_ptr<LoadedModel>(const std::string&)>& read) {
  try {
    const std::string plugin = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
    std::lock_guard<std::mutex> lock(XmlTurns());
    XmlPlatform xml;
    return read(plugin);
  } catch (const VkException& e) {
    throw ModelError(e.GetCode(), e.GetMessage());
  }
}

// Gives a slot `evidence` for one call; the slot goes back to the pool with
// the model's own options (`own`), also when the call throws.
class SlotEvidence {
 public:
  SlotEvidence(ScoringSlot& slot, const EvidenceOptions& evidence, const LoadOptions& own)
      : slot_(slot), own_(own) {
    slot_.SetEvidence(evidence);
  }
  ~SlotEvidence() { slot_.SetEvidence(EvidenceOptions{own_.missing, own_.unknown}); }
  SlotEvidence(const SlotEvidence&) = delete;
  SlotEvidence& operator=(const SlotEvidence&) = delete;

 private:
  ScoringSlot& slot_;
  const LoadOptions& own_;
};

}  // namespace

Model::Model(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Model::~Model() = default;

std::unique_ptr<Model> Model::Load(const std::string& path, const LoadOptions& options) {
  auto impl = std::make_unique<Impl>();
  impl->options = options;
  impl->loaded = ReadModel(options, [&path, &options](const std::string& plugin) {
    return LoadedModel::Load(plugin, path, options.target, LimitsOf(options));
  });
  impl->Prepare();
  return std::unique_ptr<Model>(new Model(std::move(impl)));
}

std::unique_ptr<Model> Model::LoadText(std::string_view pmml, const LoadOptions& options) {
  auto impl = std::make_unique<Impl>();
  impl->options = options;
  const std::string text(pmml);
  impl->loaded = ReadModel(options, [&text, &options](const std::string& plugin) {
    return LoadedModel::LoadText(plugin, text, "PMML text", options.target, LimitsOf(options));
  });
  impl->Prepare();
  return std::unique_ptr<Model>(new Model(std::move(impl)));
}

const Schema& Model::GetSchema() const { return impl_->schema; }

const LoadOptions& Model::GetOptions() const { return impl_->options; }

std::string Model::Display() const {
  std::ostringstream text;
  impl_->GetModel().Display(text);
  return text.str();
}

Outcome Model::ScoreOne(std::span<const NamedCell> record, std::span<double> probabilities) const {
  if (!probabilities.empty() && probabilities.size() < impl_->categories->Size()) {
    throw Error("the probabilities output has " + std::to_string(probabilities.size()) +
                " entries; expected at least " + std::to_string(impl_->categories->Size()));
  }
  impl_->WarmUp();
  ScoringSlotPool::Lease slot = impl_->pool->Acquire();
  slot->ClearAll();
  // Backwards, so that the first cell of a name given twice counts.
  for (auto cell = record.rbegin(); cell != record.rend(); ++cell) {
    const int position = impl_->layout->Find(cell->name);
    if (position >= 0) slot->SetCell(position, cell->cell);
  }
  return slot->Score(probabilities);
}

void Model::Score(std::span<const Column> columns, std::size_t rows, const Outputs& outputs,
                  int threads) const {
  Score(columns, rows, outputs, threads,
        EvidenceOptions{impl_->options.missing, impl_->options.unknown});
}

void Model::Score(std::span<const Column> columns, std::size_t rows, const Outputs& outputs,
                  int threads, const EvidenceOptions& evidence) const {
  // Warmed up first: the model's column scoring needs the record positions.
  impl_->WarmUp();
  // Gaps summed out as the slots sum them out (SlotEvidence).
  EvidenceInference::Options sumOut;
  sumOut.sumOutMissing = true;
  sumOut.unknownAsMissing = evidence.unknown == UnknownValues::kMissing;
  const bool marginalize = evidence.missing == MissingValues::kMarginalize;
  const ColumnBatch batch(*impl_->layout, impl_->categories->Size(), columns, rows, outputs,
                          impl_->columnScoring, marginalize ? &sumOut : nullptr);
  std::size_t parts = threads < 1 ? 1 : static_cast<std::size_t>(threads);
  parts = std::min(parts, std::max<std::size_t>(1, rows / kMinRowsPerThread));
  const std::size_t chunk = parts == 0 ? rows : (rows + parts - 1) / parts;

  auto scoreChunk = [this, &batch, chunk, rows, &evidence](std::size_t part) {
    const std::size_t begin = std::min(rows, part * chunk);
    const std::size_t end = std::min(rows, begin + chunk);
    ScoringSlotPool::Lease slot = impl_->pool->Acquire();
    const SlotEvidence given(*slot, evidence, impl_->options);
    batch.ScoreRows(*slot, begin, end);
  };
  // Part 0 on this thread, the others on the model's workers; a part no
  // worker can take is scored here too.
  std::vector<std::exception_ptr> faults(parts);
  auto scorePart = [&scoreChunk, &faults](std::size_t part) {
    try {
      scoreChunk(part);
    } catch (...) {
      faults[part] = std::current_exception();
    }
  };
  std::mutex mutex;
  std::condition_variable done;
  std::size_t pending = 0;  // guarded by mutex
  for (std::size_t part = 1; part < parts; ++part) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++pending;
    }
    const bool queued = impl_->workers.Submit(
        [&, part] {
          scorePart(part);
          std::lock_guard<std::mutex> lock(mutex);
          if (--pending == 0) done.notify_one();
        },
        static_cast<int>(parts) - 1);
    if (!queued) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        --pending;
      }
      scorePart(part);
    }
  }
  scorePart(0);
  {
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&pending] { return pending == 0; });
  }
  for (const std::exception_ptr& fault : faults) {
    if (fault) std::rethrow_exception(fault);
  }
}

namespace {

// The options of a model loaded with `load` reading records with `csv`.
ScoreOptions CallOptions(const LoadOptions& load, const CsvOptions& csv) {
  ScoreOptions score = MakeScoreOptions(load, csv);
  if (csv.evidence) {
    score.load.missing = csv.evidence->missing;
    score.load.unknown = csv.evidence->unknown;
  }
  return score;
}

}  // namespace

CsvSummary Model::ScoreCsv(ByteSource& input, std::string_view inputName, ByteSink& output,
                           const CsvOptions& options) const {
  impl_->WarmUp();
  const ScoreOptions score = CallOptions(impl_->options, options);
  const CsvModel model{*this, impl_->GetModel(), *impl_->layout, impl_->workers};
  if (options.inputFormat == RecordFormat::kCsv && options.outputFormat == RecordFormat::kCsv) {
    return ScoreCsvRecords(model, score, input, std::string(inputName), output);
  }
  return ScoreRecordBlocks(model, score, input, std::string(inputName), output);
}

CsvSummary Model::ScoreEach(ByteSource& input, std::string_view inputName, OutcomeSink& sink,
                            const CsvOptions& options) const {
  impl_->WarmUp();
  const ScoreOptions score = CallOptions(impl_->options, options);
  const CsvModel model{*this, impl_->GetModel(), *impl_->layout, impl_->workers};
  return ScoreRecordsInto(model, score, input, std::string(inputName), sink);
}

std::vector<Node> Model::GetNodes() const { return impl_->GetNodes(); }

int Model::FindNode(std::string_view name) const {
  const std::vector<Node>& nodes = impl_->GetNodes();
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    if (nodes[n].name == name) return static_cast<int>(n);
  }
  return -1;
}

namespace {

// Fills the slot's record from name -> cell pairs, as ScoreOne does.
void FillSlot(ScoringSlot& slot, const FieldLayout& layout, std::span<const NamedCell> record) {
  slot.ClearAll();
  // Backwards, so that the first cell of a name given twice counts.
  for (auto cell = record.rbegin(); cell != record.rend(); ++cell) {
    const int position = layout.Find(cell->name);
    if (position >= 0) slot.SetCell(position, cell->cell);
  }
}

}  // namespace

int Model::Query(std::span<const NamedCell> record, std::span<const int> nodes,
                 std::span<double> posteriors) const {
  return Query(record, nodes, posteriors,
               EvidenceOptions{impl_->options.missing, impl_->options.unknown});
}

int Model::Query(std::span<const NamedCell> record, std::span<const int> nodes,
                 std::span<double> posteriors, const EvidenceOptions& evidence) const {
  const std::vector<Node>& all = impl_->GetNodes();
  std::size_t total = 0;
  for (int node : nodes) {
    if (node < 0 || static_cast<std::size_t>(node) >= all.size()) {
      throw Error("no node " + std::to_string(node) + "; the model has " +
                  std::to_string(all.size()) + " nodes");
    }
    total += all[static_cast<std::size_t>(node)].categories.size();
  }
  if (posteriors.size() < total) {
    throw Error("the posteriors output has " + std::to_string(posteriors.size()) +
                " entries; expected at least " + std::to_string(total));
  }
  impl_->WarmUp();
  ScoringSlotPool::Lease slot = impl_->pool->Acquire();
  FillSlot(*slot, *impl_->layout, record);
  const std::vector<int> list(nodes.begin(), nodes.end());
  const SlotEvidence given(*slot, evidence, impl_->options);
  return slot->Query(list, posteriors.data());
}

Outcome Model::Explain(std::span<const NamedCell> record, std::size_t k,
                       std::vector<Reason>& reasons, std::span<double> probabilities) const {
  return Explain(record, k, reasons, probabilities,
                 EvidenceOptions{impl_->options.missing, impl_->options.unknown});
}

Outcome Model::Explain(std::span<const NamedCell> record, std::size_t k,
                       std::vector<Reason>& reasons, std::span<double> probabilities,
                       const EvidenceOptions& evidence) const {
  reasons.clear();
  if (impl_->inference == nullptr) throw Error("the model plug-in offers no inference");
  if (!probabilities.empty() && probabilities.size() < impl_->categories->Size()) {
    throw Error("the probabilities output has " + std::to_string(probabilities.size()) +
                " entries; expected at least " + std::to_string(impl_->categories->Size()));
  }
  impl_->WarmUp();
  ScoringSlotPool::Lease slot = impl_->pool->Acquire();
  FillSlot(*slot, *impl_->layout, record);
  const SlotEvidence given(*slot, evidence, impl_->options);
  const Outcome outcome = slot->Score(probabilities);
  if (outcome.status != kScored || k == 0) return outcome;
  std::vector<EvidenceInference::Term> terms;
  slot->Explain(terms);
  for (std::size_t t = 0; t < terms.size() && t < k; ++t) reasons.push_back(MakeReason(terms[t]));
  return outcome;
}

Structure Model::GetStructure() const { return StructureOf(impl_->GetModel()); }

ModelDescription Model::Describe() const { return DescriptionOf(impl_->GetModel()); }

}  // namespace bnscore
