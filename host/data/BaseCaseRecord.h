#ifndef MODELCORE_BASECASERECORD_H_
#define MODELCORE_BASECASERECORD_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/data/NumericValue.h"
#include "host/data/TextViewValue.h"
#include "host/interfaces/ScoreCaseRecord.h"

// A case record over a fixed list of field names. Each position holds a
// value or nothing. Value objects are owned by the record and kept when a
// position is cleared, so that a record reused from case to case allocates
// nothing once every position has held a value of its type.
//
// Not safe for concurrent use when values are set; give each thread its own
// record.
class MODELCORE_API BaseCaseRecord : public ScoreCaseRecord {
 public:
  // `indexed` is what IsIndexed() answers.
  BaseCaseRecord(std::vector<std::string> fieldNames, bool indexed);
  ~BaseCaseRecord() override;

  BaseCaseRecord(const BaseCaseRecord&) = delete;
  BaseCaseRecord& operator=(const BaseCaseRecord&) = delete;

  int GetNumFields() const { return static_cast<int>(names_.size()); }
  // A number for the record's field names, in order: records alive at the
  // same time have the same number exactly when they have the same names,
  // and a number is never given to another list, also after its records
  // are gone (a list with no record left gets a new number when it comes
  // back). The names never change.
  std::uint64_t GetLayoutId() const { return layoutId_; }
  const std::string& GetFieldName(int position) const { return names_[position]; }

  // Stores `value` at `position` (a null value clears it). Positions out of
  // range are ignored.
  void SetValue(int position, std::unique_ptr<ScoreValue> value);
  // Stores a number at `position`, reusing the NumericValue held there.
  // (Inline, as SetTextView: record fillers call them once per cell.)
  void SetNumber(int position, double value) {
    if (position < 0 || position >= GetNumFields()) return;
    if (heldKinds_[position] != kNumber) MakeNumber(position);
    ScoreValue* number = values_[position].get();
    static_cast<NumericValue*>(number)->SetDoubleValue(value);
    cells_[position] = Cell{number, kNumber, value, std::string_view()};
  }
  // Stores a text at `position`, reusing the StringValue held there.
  void SetText(int position, std::string_view text);
  // Stores a text at `position` without copying it: the record holds a
  // TextViewValue viewing `text`. The caller keeps the text alive and
  // unchanged until the position is set or cleared again (or the record is
  // destroyed); GetValue hands out the view meanwhile.
  void SetTextView(int position, std::string_view text) {
    if (position < 0 || position >= GetNumFields()) return;
    TextViewValue* view = views_[position].get();
    if (view == nullptr) view = MakeView(position);
    view->SetView(text);
    cells_[position] = Cell{view, kText, 0.0, text};
  }
  // Marks `position` as holding no value.
  void ClearValue(int position);
  void ClearAll();

  // What a position holds, as plain data for scorers that know this class
  // and would rather not make virtual calls per value: the value (null when
  // the position holds none), what class the value object is, and for a
  // number or text set by SetNumber, SetText or SetTextView, the number or
  // a view of the text. Valid until the position is set or cleared again.
  enum Kind : char {
    kOther,   // set by SetValue: any class
    kNumber,  // a NumericValue holding `number`
    kText,    // a StringValue or TextViewValue whose text is `text`
  };
  struct Cell {
    const ScoreValue* value = nullptr;
    Kind kind = kOther;
    double number = 0.0;
    std::string_view text;
  };
  // 0 <= position < GetNumFields().
  const Cell& GetCell(int position) const { return cells_[position]; }

  const ScoreValue* GetValue(int position) const override;
  const ScoreValue* GetValue(const std::string& name) const override;
  bool IsIndexed() const override { return indexed_; }
  int GetIndex(const std::string& name) const override;

 private:
  // Make the value object SetNumber or SetTextView reuses at `position`.
  void MakeNumber(int position);
  TextViewValue* MakeView(int position);

  std::vector<std::string> names_;
  std::unordered_map<std::string, int> firstPosition_;
  // The value objects, kept when a position is cleared so that SetNumber
  // and SetText reuse them; heldKinds_[i] tells the class of values_[i]
  // (kOther also when there is none).
  std::vector<std::unique_ptr<ScoreValue>> values_;
  std::vector<Kind> heldKinds_;
  // Per position, the value SetTextView points at (made on first use).
  std::vector<std::unique_ptr<TextViewValue>> views_;
  std::vector<Cell> cells_;  // cells_[i].value is values_[i] or null
  bool indexed_;
  std::uint64_t layoutId_;
};

#endif  // MODELCORE_BASECASERECORD_H_
