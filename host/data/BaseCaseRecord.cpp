#include "host/data/BaseCaseRecord.h"

#include <map>
#include <mutex>
#include <utility>

#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"

namespace {

// The field-name lists of the records alive, each with its layout number and
// how many records have it. A list is dropped with its last record, so that
// a long-running process that reads model after model keeps only the lists
// in use; numbers come from a counter and are never given out again, so a
// number cached for a list that is gone never matches a later record.
class LayoutRegistry {
 public:
  static LayoutRegistry& Get() {
    static LayoutRegistry* registry = new LayoutRegistry;  // lives as long as the process
    return *registry;
  }

  std::uint64_t Acquire(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = layouts_[names];
    if (entry.records++ == 0) entry.id = ++lastId_;
    return entry.id;
  }

  void Release(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = layouts_.find(names);
    if (found != layouts_.end() && --found->second.records == 0) layouts_.erase(found);
  }

 private:
  struct Entry {
    std::uint64_t id = 0;
    std::size_t records = 0;
  };
  std::mutex mutex_;
  std::map<std::vector<std::string>, Entry> layouts_;
  std::uint64_t lastId_ = 0;
};

}  // namespace

BaseCaseRecord::BaseCaseRecord(std::vector<std::string> fieldNames, bool indexed)
    : names_(std::move(fieldNames)),
      values_(names_.size()),
      heldKinds_(names_.size(), kOther),
      views_(names_.size()),
      cells_(names_.size()),
      indexed_(indexed),
      layoutId_(LayoutRegistry::Get().Acquire(names_)) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    firstPosition_.emplace(names_[i], static_cast<int>(i));  // keeps the first
  }
}

BaseCaseRecord::~BaseCaseRecord() { LayoutRegistry::Get().Release(names_); }

void BaseCaseRecord::SetValue(int position, std::unique_ptr<ScoreValue> value) {
  if (position < 0 || position >= GetNumFields()) return;
  Cell& cell = cells_[position];
  if (!value) {
    cell.value = nullptr;
    return;
  }
  values_[position] = std::move(value);
  heldKinds_[position] = kOther;
  cell = Cell{values_[position].get(), kOther, 0.0, std::string_view()};
}

void BaseCaseRecord::MakeNumber(int position) {
  values_[position] = std::make_unique<NumericValue>(0.0);
  heldKinds_[position] = kNumber;
}

void BaseCaseRecord::SetText(int position, std::string_view text) {
  if (position < 0 || position >= GetNumFields()) return;
  Cell& cell = cells_[position];
  StringValue* string;
  if (heldKinds_[position] == kText) {
    string = static_cast<StringValue*>(values_[position].get());
    string->SetString(text);
  } else {
    values_[position] = std::make_unique<StringValue>(std::string(text));
    string = static_cast<StringValue*>(values_[position].get());
    heldKinds_[position] = kText;
  }
  cell = Cell{string, kText, 0.0, string->GetText()};
}

TextViewValue* BaseCaseRecord::MakeView(int position) {
  views_[position] = std::make_unique<TextViewValue>();
  return views_[position].get();
}

void BaseCaseRecord::ClearValue(int position) {
  if (position >= 0 && position < GetNumFields()) cells_[position].value = nullptr;
}

void BaseCaseRecord::ClearAll() {
  for (Cell& cell : cells_) cell.value = nullptr;
}

const ScoreValue* BaseCaseRecord::GetValue(int position) const {
  if (position < 0 || position >= GetNumFields()) return nullptr;
  return cells_[position].value;
}

const ScoreValue* BaseCaseRecord::GetValue(const std::string& name) const {
  return GetValue(GetIndex(name));
}

int BaseCaseRecord::GetIndex(const std::string& name) const {
  auto it = firstPosition_.find(name);
  return it == firstPosition_.end() ? -1 : it->second;
}
