#ifndef BNSCORE_ENGINE_RECORDFILLER_H_
#define BNSCORE_ENGINE_RECORDFILLER_H_

#include <string>
#include <string_view>
#include <vector>

#include "host/BaseCaseRecord.h"
#include "host/ScoreModel.h"

// Turns CSV rows into the values of one case record that is reused for
// every row. The record has one field per CSV column, named by the header.
//
// Whether a column holds numbers is decided once, from the header: a column
// named after a numeric (value type 0) field of the model's data dictionary
// (or, when the records carry derived values, of its transformation
// dictionary) gets numbers; text that is not a number there gives the
// system-missing value. Every other column gets texts. An empty cell holds
// no value. Filling allocates nothing once each field has held a value.
// The two halves of RecordFiller, for code that fills records of its own
// (bench's in-memory tables). NumericColumns: per column of `header`, 1
// when it holds numbers. FillRecord: sets `record`'s fields from `cells`,
// one per field, typed by `numeric`.
std::vector<char> NumericColumns(const std::vector<std::string>& header, const ScoreModel& model,
                                 bool derivedInRecord);
void FillRecord(const std::vector<std::string_view>& cells, const std::vector<char>& numeric,
                BaseCaseRecord& record);
// Sets the field at `position` from one cell as FillRecord does.
void FillField(std::string_view cell, bool numeric, int position, BaseCaseRecord& record);

class RecordFiller {
 public:
  // `indexed` is what the record answers to IsIndexed().
  RecordFiller(const std::vector<std::string>& header, const ScoreModel& model,
               bool derivedInRecord, bool indexed);

  // Sets the record's values from `cells`, which has one cell per column.
  void Fill(const std::vector<std::string_view>& cells) { FillRecord(cells, numeric_, record_); }

  const BaseCaseRecord& GetRecord() const { return record_; }
  bool IsNumericColumn(std::size_t column) const { return numeric_[column] != 0; }

 private:
  BaseCaseRecord record_;
  std::vector<char> numeric_;  // per column: 1 when it holds numbers
};

#endif  // BNSCORE_ENGINE_RECORDFILLER_H_
