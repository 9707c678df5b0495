#include "engine/ParallelScoring.h"

#include <algorithm>
#include <utility>

#include <simdjson.h>

#include "engine/JsonLinesReader.h"
#include "engine/JsonLinesWriter.h"

namespace bnscore::internal {

static_assert(CsvBlock::kPadding >= simdjson::SIMDJSON_PADDING,
              "a JSON Lines block is parsed in place");

// A scoring state; only the thread running a job with it uses it.
class ParallelScoring::Worker {
 public:
  Worker(const bnscore::Model& model, const ScoreModel& host, const FieldLayout& layout,
         const std::vector<std::string>& header, const ScoreOptions& options,
         const std::string& sourceName)
      : scorer(model, host, layout, header, options), reader(sourceName) {
    reader.SetDelimiter(options.delimiter);
    reader.SetRejectBlankLines(options.rejectBlankLines);
    if (options.inputFormat == bnscore::RecordFormat::kJsonLines) {
      json = std::make_unique<JsonLinesReader>(sourceName);
      json->SetRejectBlankLines(options.rejectBlankLines);
      json->SetColumns(header);
    }
    if (options.outputFormat == bnscore::RecordFormat::kJsonLines) {
      jsonOut = std::make_unique<JsonLinesWriter>(model.GetSchema().categories, header, options);
      scorer.SetJsonLines(jsonOut.get());
    }
  }

  long GetBlankLines() const { return json ? json->GetBlankLines() : reader.GetBlankLines(); }

  CsvColumnBlock scorer;
  CsvReader reader;                          // CSV input
  std::unique_ptr<JsonLinesReader> json;     // JSON Lines input
  std::unique_ptr<JsonLinesWriter> jsonOut;  // JSON Lines output
};

ParallelScoring::Job::Job(std::size_t outputCapacity) : output(outputCapacity) {}

ParallelScoring::ParallelScoring(const bnscore::Model& model, const ScoreModel& host,
                                 const FieldLayout& layout, WorkerPool& pool,
                                 const std::vector<std::string>& header,
                                 const ScoreOptions& options, int threads, std::string sourceName)
    : sourceName_(std::move(sourceName)), pool_(pool), workers_(std::max(threads, 2) - 1) {
  // Output buffers large enough for most blocks from the start (scored rows
  // are often longer than the input rows); pages never written cost no
  // memory.
  const std::size_t outputCapacity = std::max<std::size_t>(8 * options.blockBytes, 1 << 16);
  // Two blocks more than threads: while the calling thread writes and
  // reads, every worker has a block to go on with.
  const int jobs = workers_ + 3;
  states_.resize(static_cast<std::size_t>(jobs));
  for (int i = 0; i < jobs; ++i) {
    jobs_.push_back(std::make_unique<Job>(outputCapacity));
    jobs_.back()->output.SetDelimiter(options.delimiter);
    states_[static_cast<std::size_t>(i)].worker =
        std::make_unique<Worker>(model, host, layout, header, options, sourceName_);
  }
}

ParallelScoring::~ParallelScoring() {
  // The pool's tasks still queued or running use this object.
  std::unique_lock<std::mutex> lock(mutex_);
  pending_.clear();
  jobDone_.wait(lock, [this] { return tasks_ == 0; });
}

void ParallelScoring::Run(CsvBlock& first, std::size_t begin, long firstLine,
                          CsvBlockReader& reader, CsvWriter& out) {
  std::deque<Job*> free;
  for (auto& job : jobs_) free.push_back(job.get());
  std::deque<Job*> inFlight;  // in input order

  Job* job = free.front();
  free.pop_front();
  std::swap(job->input, first);
  job->begin = begin;
  Enqueue(*job);
  inFlight.push_back(job);

  long nextLine = firstLine;
  bool more = true;
  for (;;) {
    while (more && !free.empty()) {
      job = free.front();
      if (!reader.ReadBlock(job->input)) {
        more = false;
        break;
      }
      free.pop_front();
      job->begin = 0;
      Enqueue(*job);
      inFlight.push_back(job);
    }
    if (inFlight.empty()) return;
    job = inFlight.front();
    // Rather than wait for the oldest block, score another one here.
    bool done;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done = job->done;
    }
    if (!done && ScorePending()) continue;
    inFlight.pop_front();
    Finish(*job, nextLine, out);
    free.push_back(job);
  }
}

void ParallelScoring::Enqueue(Job& job) {
  job.output.Clear();
  job.failed = false;
  job.error = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job.done = false;
    pending_.push_back(&job);
    ++tasks_;
  }
  const bool queued = pool_.Submit(
      [this] {
        ScorePending();
        std::lock_guard<std::mutex> lock(mutex_);
        --tasks_;
        jobDone_.notify_all();
      },
      workers_);
  if (!queued) {
    // No worker: the calling thread scores every block.
    std::lock_guard<std::mutex> lock(mutex_);
    --tasks_;
  }
}

bool ParallelScoring::ScorePending() {
  Job* job;
  State* state = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.empty()) return false;
    job = pending_.front();
    pending_.pop_front();
    // The state this thread used last, else a free one.
    const std::thread::id self = std::this_thread::get_id();
    for (State& candidate : states_) {
      if (candidate.busy) continue;
      if (candidate.lastThread == self) {
        state = &candidate;
        break;
      }
      if (state == nullptr) state = &candidate;
    }
    state->busy = true;  // there are as many states as jobs
    state->lastThread = self;
  }
  try {
    ScoreBlock(*state->worker, *job);
  } catch (const CsvError& e) {
    job->failed = true;
    job->faultLine = e.GetLine();
    job->faultText = e.GetText();
  } catch (...) {
    job->error = std::current_exception();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  state->busy = false;
  job->done = true;
  jobDone_.notify_all();
  return true;
}

void ParallelScoring::Finish(Job& job, long& nextLine, CsvWriter& out) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    jobDone_.wait(lock, [&job] { return job.done; });
  }
  out.WriteRaw(job.output.GetBuffered());
  if (job.error) std::rethrow_exception(job.error);
  if (job.failed) throw CsvError(sourceName_, nextLine + job.faultLine - 1, job.faultText);
  nextLine += job.lines;
  if (blockWritten_) blockWritten_(job.records);
}

template <class Reader, class AddRow>
void ParallelScoring::ScoreRows(Reader& reader, Job& job, CsvColumnBlock& block, AddRow addRow) {
  // Lines count from 1 at the block's start: the line where the block
  // starts in the input is known only once the blocks before it are parsed.
  reader.ResetToBlock(job.input.bytes.data() + job.begin, job.input.size - job.begin, 1, false);
  job.records = 0;
  auto flush = [&block, &job] {
    job.records += static_cast<long>(block.Rows());
    block.ScoreAndWrite(job.output);
  };
  try {
    while (reader.ReadRow()) {
      if (addRow(false)) {
        if (block.Full()) flush();
        continue;
      }
      // A row the block's columns cannot hold goes alone, as texts.
      flush();
      addRow(true);
      flush();
    }
  } catch (const CsvError&) {
    flush();  // the rows before the fault
    throw;
  }
  flush();
  job.lines = reader.GetNextLine() - 1;
}

void ParallelScoring::ScoreBlock(Worker& worker, Job& job) {
  CsvColumnBlock& block = worker.scorer;
  if (worker.json) {
    JsonLinesReader& reader = *worker.json;
    ScoreRows(reader, job, block, [&](bool asTexts) {
      const char* numbers = reader.GetNumberCells().data();
      if (asTexts) {
        block.AddCellsAsTexts(reader.GetFields(), numbers, reader.GetLine(), sourceName_);
        return true;
      }
      return block.AddCells(reader.GetFields(), numbers, reader.GetLine(), sourceName_);
    });
    return;
  }
  CsvReader& reader = worker.reader;
  ScoreRows(reader, job, block, [&](bool asTexts) {
    if (asTexts) {
      block.AddRowAsTexts(reader);
      return true;
    }
    return block.AddRow(reader);
  });
}

void ParallelScoring::AddStatusCounts(std::map<long, long>& counts) const {
  for (const State& state : states_) state.worker->scorer.AddStatusCounts(counts);
}

long ParallelScoring::GetBlankLines() const {
  long lines = 0;
  for (const State& state : states_) lines += state.worker->GetBlankLines();
  return lines;
}

}  // namespace bnscore::internal
