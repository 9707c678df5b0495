#include "engine/ParallelScoring.h"

#include <algorithm>
#include <utility>

// One worker's own scoring state; only its thread uses it.
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

ParallelScoring::ParallelScoring(const bnscore::Model& model, const ScoreModel& host,
                                 const FieldLayout& layout, const std::vector<std::string>& header,
                                 const ScoreOptions& options, int workers, std::string sourceName)
    : sourceName_(std::move(sourceName)) {
  if (workers < 1) workers = 1;
  // Output buffers large enough for most blocks from the start (scored rows
  // are often longer than the input rows); pages never written cost no
  // memory.
  const std::size_t outputCapacity = std::max<std::size_t>(8 * options.blockBytes, 1 << 16);
  for (int i = 0; i < workers + 1; ++i) {
    jobs_.push_back(std::make_unique<Job>(outputCapacity));
    jobs_.back()->output.SetDelimiter(options.delimiter);
  }
  for (int i = 0; i < workers; ++i) {
    workers_.push_back(
        std::make_unique<Worker>(model, host, layout, header, options, sourceName_));
  }
  try {
    for (auto& worker : workers_) {
      threads_.emplace_back([this, &worker] { WorkerLoop(*worker); });
    }
  } catch (...) {
    Stop();
    throw;
  }
}

ParallelScoring::~ParallelScoring() { Stop(); }

void ParallelScoring::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  workReady_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
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
    queue_.push_back(&job);
  }
  workReady_.notify_one();
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

void ParallelScoring::WorkerLoop(Worker& worker) {
  for (;;) {
    Job* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = queue_.front();
      queue_.pop_front();
    }
    try {
      ScoreBlock(worker, *job);
    } catch (const CsvError& e) {
      job->failed = true;
      job->faultLine = e.GetLine();
      job->faultText = e.GetText();
    } catch (...) {
      job->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->done = true;
    }
    jobDone_.notify_one();
  }
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
  for (const auto& worker : workers_) worker->scorer.AddStatusCounts(counts);
}

long ParallelScoring::GetBlankLines() const {
  long lines = 0;
  for (const auto& worker : workers_) lines += worker->reader.GetBlankLines();
  return lines;
}
