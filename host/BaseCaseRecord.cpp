#include "host/BaseCaseRecord.h"

#include <map>
#include <mutex>
#include <utility>

#include "host/NumericValue.h"
#include "host/StringValue.h"

BaseCaseRecord::BaseCaseRecord(std::vector<std::string> fieldNames, bool indexed)
    : names_(std::move(fieldNames)),
      values_(names_.size()),
      present_(names_.size(), 0),
      kinds_(names_.size(), kOther),
      indexed_(indexed) {
  static std::mutex layoutsMutex;
  static std::map<std::vector<std::string>, std::uint64_t> layouts;
  std::lock_guard<std::mutex> lock(layoutsMutex);
  layoutId_ = layouts.emplace(names_, layouts.size() + 1).first->second;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    firstPosition_.emplace(names_[i], static_cast<int>(i));  // keeps the first
  }
}

BaseCaseRecord::~BaseCaseRecord() = default;

void BaseCaseRecord::SetValue(int position, std::unique_ptr<ScoreValue> value) {
  if (position < 0 || position >= GetNumFields()) return;
  if (!value) {
    present_[position] = 0;
    return;
  }
  values_[position] = std::move(value);
  kinds_[position] = kOther;
  present_[position] = 1;
}

void BaseCaseRecord::SetNumber(int position, double value) {
  if (position < 0 || position >= GetNumFields()) return;
  if (kinds_[position] == kNumber) {
    static_cast<NumericValue*>(values_[position].get())->SetDoubleValue(value);
  } else {
    values_[position] = std::make_unique<NumericValue>(value);
    kinds_[position] = kNumber;
  }
  present_[position] = 1;
}

void BaseCaseRecord::SetText(int position, std::string_view text) {
  if (position < 0 || position >= GetNumFields()) return;
  if (kinds_[position] == kText) {
    static_cast<StringValue*>(values_[position].get())->SetString(text);
  } else {
    values_[position] = std::make_unique<StringValue>(std::string(text));
    kinds_[position] = kText;
  }
  present_[position] = 1;
}

void BaseCaseRecord::ClearValue(int position) {
  if (position >= 0 && position < GetNumFields()) present_[position] = 0;
}

void BaseCaseRecord::ClearAll() {
  for (char& present : present_) present = 0;
}

const ScoreValue* BaseCaseRecord::GetValue(int position) const {
  if (position < 0 || position >= GetNumFields() || !present_[position]) return nullptr;
  return values_[position].get();
}

const ScoreValue* BaseCaseRecord::GetValue(const std::string& name) const {
  return GetValue(GetIndex(name));
}

int BaseCaseRecord::GetIndex(const std::string& name) const {
  auto it = firstPosition_.find(name);
  return it == firstPosition_.end() ? -1 : it->second;
}
