#ifndef MODELCORE_COLUMNSCORING_H_
#define MODELCORE_COLUMNSCORING_H_

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreValue.h"

// An interface a model may offer beside ScoreModel: scoring records held
// as columns of cells, written straight into the caller's arrays, with no
// case record or result object in between. A host finds it with
// dynamic_cast on the model, binds a batch of columns once with
// AcceptsColumns, and scores whatever it accepts through ScoreColumns with
// the handle it got; all else goes through ScoreModel::GetScore.
//
// For every record it scores, ScoreColumns gives what GetScore followed by
// reading the result gives for a record whose cells are the columns' cells
// (numbers as numeric values, texts as string values): the same status
// code, predicted category, confidence and probabilities, bit for bit;
// for columns bound with evidence options, what EvidenceInference::
// ScoreEvidence with those options gives.
//
// REQUIRES: the model has scored one record through GetScore with an
// indexed record of the columns' layout (which fixes the record positions)
// and is not changed afterwards. Then ScoreColumns may run on any number
// of threads at once; it allocates only a few working arrays per call.
class MODELCORE_API ColumnScoring {
 public:
  // The cells of one record position: its field's name, numbers (NaN:
  // missing) or texts (the empty text: missing), or neither (missing in
  // every row); a non-zero byte in the optional mask makes a row's cell
  // missing. Not owned.
  struct Column {
    std::string_view name;
    const double* numbers = nullptr;
    const std::string_view* texts = nullptr;
    const unsigned char* missing = nullptr;
  };

  // Where row r's outcome goes: status[r] (the MCStatus code, 0 when
  // scored), prediction[r] (an index into GetColumnCategories(), -1 when
  // there is none), and, when not null, confidence[r] and
  // probabilities[r * categories + c]; those are NaN unless the record is
  // scored and the model gives probabilities. Not owned.
  struct Outputs {
    int* status = nullptr;
    int* prediction = nullptr;
    double* confidence = nullptr;
    double* probabilities = nullptr;
  };

  // Columns bound to the model for one batch: what AcceptsColumns found
  // out about them, kept so that ScoreColumns need not find it again. Made
  // by the model, opaque to the caller, who owns it; it points at the
  // columns and at the model, which must outlive it unchanged.
  class MODELCORE_API BoundColumns {
   public:
    virtual ~BoundColumns();

   protected:
    BoundColumns() = default;
    BoundColumns(const BoundColumns&) = default;
    BoundColumns& operator=(const BoundColumns&) = default;
  };

  virtual ~ColumnScoring();

  // The target categories, in the order of predictions and probabilities.
  // The values belong to the model.
  virtual std::vector<const ScoreValue*> GetColumnCategories() const = 0;

  // The columns bound, when ScoreColumns can score records whose cells at
  // record position p are columns[p], p < numColumns (positions past them
  // are missing), as GetScore scores them, or, given `evidence`, as
  // ScoreEvidence scores them with those options; null when it cannot.
  // The handle belongs to the caller (the unique_ptr deletes it, before
  // the model goes); `columns` must stay as they are while it is used.
  virtual std::unique_ptr<BoundColumns> AcceptsColumns(
      const Column* columns, int numColumns, const EvidenceInference::Options* evidence) const = 0;

  // Scores rows begin .. end-1 of the columns bound in `columns`, a handle
  // this model's AcceptsColumns made, in order, and returns the first row
  // it did not score: `end` when it scored them all, else a row only
  // GetScore (ScoreEvidence) can score, which the caller scores so and
  // then goes on from the next row.
  virtual std::size_t ScoreColumns(const BoundColumns& columns, std::size_t begin, std::size_t end,
                                   const Outputs& outputs) const = 0;

 protected:
  ColumnScoring() = default;
  ColumnScoring(const ColumnScoring&) = default;
  ColumnScoring& operator=(const ColumnScoring&) = default;
};

#endif  // MODELCORE_COLUMNSCORING_H_
