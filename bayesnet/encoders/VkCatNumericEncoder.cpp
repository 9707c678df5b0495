#include "bayesnet/encoders/VkCatNumericEncoder.h"

#include "host/data/NumericValue.h"

VkCatNumericEncoder::VkCatNumericEncoder() : nanKey_(false), lastCode_(-1) { values_.reserve(2); }

VkCatNumericEncoder::~VkCatNumericEncoder() = default;

int VkCatNumericEncoder::AddNumber(double x) {
  auto found = codes_.find(x);
  if (found != codes_.end()) return found->second;
  ++lastCode_;
  codes_.emplace(x, lastCode_);
  values_.push_back(x);
  if (x != x) nanKey_ = true;
  SortKeys();
  return lastCode_;
}

void VkCatNumericEncoder::SortKeys() {
  keys_.clear();
  keyCodes_.clear();
  for (const auto& entry : codes_) {
    keys_.push_back(entry.first);
    keyCodes_.push_back(entry.second);
  }
}

int VkCatNumericEncoder::FindInMap(double x) const {
  auto found = codes_.find(x);
  return found == codes_.end() ? -1 : found->second;
}

int VkCatNumericEncoder::AddCategory(const ScoreValue* value) {
  if (value == nullptr) return -1;
  return AddNumber(value->GetDouble());
}

int VkCatNumericEncoder::AddCategory(const std::string& text) {
  return AddNumber(NumericValue(text).GetDouble());
}

int VkCatNumericEncoder::GetCode(const std::string& text) const {
  return FindNumber(NumericValue(text).GetDouble());
}

int VkCatNumericEncoder::GetCode(const ScoreValue* value) const {
  if (value == nullptr) return -1;
  return FindNumber(value->GetDouble());
}

std::string VkCatNumericEncoder::GetCategoryString(int) const { return std::string(); }

double VkCatNumericEncoder::GetCategoryValue(int code) const {
  if (code < 0 || code >= GetNumCategories()) return NumericValue::GetSysmisValue();
  return values_[code];
}

IVkEncoder* VkCatNumericEncoder::Clone() const {
  auto* copy = new VkCatNumericEncoder();
  copy->codes_ = codes_;
  copy->keys_ = keys_;
  copy->keyCodes_ = keyCodes_;
  copy->nanKey_ = nanKey_;
  copy->values_ = values_;
  copy->lastCode_ = lastCode_;
  return copy;
}

void VkCatNumericEncoder::Display(std::ostream& os) const {
  os << "\tVkCatNumericEncoder: "
     << "Last code = " << lastCode_ << std::endl;
  os << "\t\tNumeric values of categories: ";
  int onLine = 0;
  for (double value : values_) {
    os << value << " ";
    if (++onLine == 7) {
      os << std::endl;
      onLine = 0;
    }
  }
  os << std::endl;
}
