#include "engine/ParallelScoring.h"

#include <algorithm>
#include <utility>

namespace bnscore::internal {

// A job's own scoring state; only the thread running the job uses it.
class ParallelScoring::Worker {
 public:
  Worker(const bnscore::Model& model, const ScoreModel& host, const FieldLayout& layout,
         const std::vector<std::string>& header, const ScoreOptions& options,
         const std::string& sourceName)
      : scorer(model, host, layout, header, options), reader(sourceName) {
    reader.SetDelimiter(options.delimiter);
    reader.SetRejectBlankLines(options.rejectBlankLines);
  }

  CsvColumnBlock scorer;
  CsvReader reader;
};

ParallelScoring::Job::Job(std::size_t outputCapacity) : output(outputCapacity) {}

ParallelScoring::Job::~Job() = default;

ParallelScoring::ParallelScoring(const bnscore::Model& model, const ScoreModel& host,
                                 const FieldLayout& layout, WorkerPool& pool,
                                 const std::vector<std::string>& header,
                                 const ScoreOptions& options, int workers, std::string sourceName)
    : sourceName_(std::move(sourceName)), pool_(pool), workers_(workers < 1 ? 1 : workers) {
  // Output buffers large enough for most blocks from the start (scored rows
  // are often longer than the input rows); pages never written cost no
  // memory.
  const std::size_t outputCapacity = std::max<std::size_t>(8 * options.blockBytes, 1 << 16);
  for (int i = 0; i < workers_ + 1; ++i) {
    jobs_.push_back(std::make_unique<Job>(outputCapacity));
    jobs_.back()->output.SetDelimiter(options.delimiter);
    jobs_.back()->worker =
        std::make_unique<Worker>(model, host, layout, header, options, sourceName_);
  }
}

ParallelScoring::~ParallelScoring() {
  // The jobs still queued or running use this object.
  std::unique_lock<std::mutex> lock(mutex_);
  jobDone_.wait(lock, [this] { return running_ == 0; });
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
  Submit(*job);
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
      Submit(*job);
      inFlight.push_back(job);
    }
    if (inFlight.empty()) return;
    job = inFlight.front();
    inFlight.pop_front();
    Finish(*job, nextLine, out);
    free.push_back(job);
  }
}

void ParallelScoring::Submit(Job& job) {
  job.output.Clear();
  job.failed = false;
  job.error = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job.done = false;
    ++running_;
  }
  if (!pool_.Submit([this, &job] { RunJob(job); }, workers_)) RunJob(job);
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

void ParallelScoring::RunJob(Job& job) {
  try {
    ScoreBlock(*job.worker, job);
  } catch (const CsvError& e) {
    job.failed = true;
    job.faultLine = e.GetLine();
    job.faultText = e.GetText();
  } catch (...) {
    job.error = std::current_exception();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  job.done = true;
  --running_;
  jobDone_.notify_all();
}

void ParallelScoring::ScoreBlock(Worker& worker, Job& job) {
  CsvReader& reader = worker.reader;
  // Lines count from 1 at the block's start: the line where the block
  // starts in the input is known only once the blocks before it are parsed.
  reader.ResetToBlock(job.input.bytes.data() + job.begin, job.input.size - job.begin, 1, false);
  job.records = 0;
  CsvColumnBlock& block = worker.scorer;
  auto flush = [&block, &job] {
    job.records += static_cast<long>(block.Rows());
    block.ScoreAndWrite(job.output);
  };
  try {
    while (reader.ReadRow()) {
      if (block.AddRow(reader)) {
        if (block.Full()) flush();
        continue;
      }
      flush();
      block.AddRowAsTexts(reader);
      flush();
    }
  } catch (const CsvError&) {
    flush();  // the rows before the fault
    throw;
  }
  flush();
  job.lines = reader.GetNextLine() - 1;
}

void ParallelScoring::AddStatusCounts(std::map<long, long>& counts) const {
  for (const auto& job : jobs_) job->worker->scorer.AddStatusCounts(counts);
}

long ParallelScoring::GetBlankLines() const {
  long lines = 0;
  for (const auto& job : jobs_) lines += job->worker->reader.GetBlankLines();
  return lines;
}

}  // namespace bnscore::internal
