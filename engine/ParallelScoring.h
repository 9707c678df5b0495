#ifndef BNSCORE_ENGINE_PARALLELSCORING_H_
#define BNSCORE_ENGINE_PARALLELSCORING_H_

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/CsvBlockReader.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/CsvColumnBlock.h"
#include "engine/FieldLayout.h"
#include "engine/WorkerPool.h"
#include "engine/ScoreOptions.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// Scores blocks of CSV rows, or of JSON Lines records
// (options.inputFormat), on `threads` threads in all and writes their
// output rows, or JSON Lines objects (options.outputFormat), in input
// order. `header` names the input's columns (for JSON Lines, the columns
// every record is read by).
//
// The calling thread reads the blocks (CsvBlockReader) and writes the
// output, and between the two scores blocks too: it is one of the
// `threads`, and threads - 1 of the model's WorkerPool take the other
// blocks. Each block is parsed whole into a CsvColumnBlock, which scores
// its rows through the model's column path and formats them into the
// block's own output buffer. A thread that takes a block takes the scoring
// state it used last, whose columns stay in its own core's cache.
// At most threads + 2 blocks are in flight, whose buffers are reused, so
// memory does not grow with the input; the calling thread waits only when
// the oldest block is being scored elsewhere and no other is left to
// score.
//
// A fault in a block (a CSV or JSON fault, a row of the wrong field count) stops
// the run once every block before it has been written: its rows before
// the fault are written too, and the fault is thrown as CsvError naming
// the line in the whole input. The model must have scored a record before
// (its one-time setup must not race) and must outlive this object.
class ParallelScoring {
 public:
  ParallelScoring(const bnscore::Model& model, const ScoreModel& host, const FieldLayout& layout,
                  WorkerPool& pool, const std::vector<std::string>& header,
                  const ScoreOptions& options, int threads, std::string sourceName);
  // Waits for the jobs still running.
  ~ParallelScoring();

  ParallelScoring(const ParallelScoring&) = delete;
  ParallelScoring& operator=(const ParallelScoring&) = delete;

  // Scores the rows of `first` from byte `begin` on, whose first byte is on
  // line `firstLine`, and then every block of `reader`; writes the output
  // rows to `out`. Throws CsvError, EngineError.
  void Run(CsvBlock& first, std::size_t begin, long firstLine, CsvBlockReader& reader,
           CsvWriter& out);

  // Has `callback` called on the calling thread after each block is
  // written, with the number of records the block held.
  void SetBlockWritten(std::function<void(long records)> callback) {
    blockWritten_ = std::move(callback);
  }

  // Adds the records scored, by status code, to `counts`.
  void AddStatusCounts(std::map<long, long>& counts) const;
  // The blank lines the workers skipped.
  long GetBlankLines() const;

 private:
  class Worker;

  // A block on its way: read, scored, then written.
  struct Job {
    explicit Job(std::size_t outputCapacity);

    CsvBlock input;
    std::size_t begin = 0;  // the rows start here
    CsvWriter output;       // the output rows, in memory
    long lines = 0;         // lines the block spans
    long records = 0;       // rows scored
    bool done = false;      // guarded by mutex_
    bool failed = false;    // a CSV fault after the rows in `output`
    long faultLine = 0;     // counting from 1 at the block's start
    std::string faultText;
    std::exception_ptr error;  // any other fault
  };

  // A scoring state and the thread that used it last.
  struct State {
    std::unique_ptr<Worker> worker;
    std::thread::id lastThread;
    bool busy = false;
  };

  // Queues `job` to be scored, and a task on the pool that scores the
  // oldest job queued.
  void Enqueue(Job& job);
  // Scores the oldest job queued on this thread; false when none is.
  bool ScorePending();
  void ScoreBlock(Worker& worker, Job& job);
  // ScoreBlock's loop over the rows of `reader` (CSV or JSON Lines):
  // `addRow(false)` adds the row read to `block`, false when its columns
  // cannot hold it; `addRow(true)` then adds it as texts.
  template <class Reader, class AddRow>
  void ScoreRows(Reader& reader, Job& job, CsvColumnBlock& block, AddRow addRow);
  // Waits for `job` and writes its output; throws its fault. `nextLine` is
  // the input line on which the block starts, and moves past the block.
  void Finish(Job& job, long& nextLine, CsvWriter& out);

  std::string sourceName_;
  WorkerPool& pool_;
  int workers_;  // of the pool, besides the calling thread
  std::vector<std::unique_ptr<Job>> jobs_;
  std::vector<State> states_;  // as many as jobs: each running job has one

  std::mutex mutex_;
  std::condition_variable jobDone_;
  std::deque<Job*> pending_;  // queued, not yet taken; guarded by mutex_
  long tasks_ = 0;            // pool tasks queued and not finished; guarded by mutex_
  std::function<void(long)> blockWritten_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_PARALLELSCORING_H_
