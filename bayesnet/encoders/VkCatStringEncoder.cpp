#include "bayesnet/encoders/VkCatStringEncoder.h"

#include "bayesnet/encoders/MCMV.h"

VkCatStringEncoder::VkCatStringEncoder() : lastCode_(-1) { texts_.reserve(2); }

VkCatStringEncoder::~VkCatStringEncoder() = default;

int VkCatStringEncoder::FindText(std::string_view text) const {
  // The texts are distinct, so at most one is equal: the same answer as
  // codes_.find.
  const std::size_t count = keys_.size();
  if (count <= kLinearLimit) {
    if (text.size() <= kShortText) return FindShort(text);
    for (std::size_t code = 0; code < count; ++code) {
      if (*texts_[code] == text) return static_cast<int>(code);
    }
    return -1;
  }
  auto found = index_.find(text);
  return found == index_.end() ? -1 : found->second;
}

void VkCatStringEncoder::IndexText(const std::string& text, int code) {
  index_.emplace(std::string_view(text), code);
  keys_.push_back(Key{text.size() <= kShortText ? Pack(text) : 0, text.size()});
}

void VkCatStringEncoder::RebuildIndex() {
  index_.clear();
  keys_.clear();
  for (std::size_t code = 0; code < texts_.size(); ++code) {
    IndexText(*texts_[code], static_cast<int>(code));
  }
}

int VkCatStringEncoder::AddCategory(const ScoreValue* value) {
  if (value == nullptr) return -1;
  return AddCategory(value->GetString());
}

int VkCatStringEncoder::AddCategory(const std::string& text) {
  auto found = codes_.find(text);
  if (found != codes_.end()) return found->second;
  ++lastCode_;
  auto inserted = codes_.emplace(text, lastCode_).first;
  // Map keys stay in place as entries are added, so the pointer stays valid.
  texts_.push_back(&inserted->first);
  IndexText(inserted->first, lastCode_);
  return lastCode_;
}

int VkCatStringEncoder::GetCode(const std::string& text) const { return FindText(text); }

int VkCatStringEncoder::GetCode(const ScoreValue* value) const {
  if (value == nullptr) return -1;
  NumberTextBuffer buffer;
  return FindText(value->GetStringView(buffer));
}

std::string VkCatStringEncoder::GetCategoryString(int code) const {
  if (code < 0 || code > lastCode_) return std::string();
  return *texts_[code];
}

double VkCatStringEncoder::GetCategoryValue(int) const { return MCMV::Missing(); }

IVkEncoder* VkCatStringEncoder::Clone() const {
  auto* copy = new VkCatStringEncoder();
  copy->codes_ = codes_;
  copy->lastCode_ = lastCode_;
  copy->texts_.assign(lastCode_ + 1, nullptr);
  for (const auto& entry : copy->codes_) copy->texts_[entry.second] = &entry.first;
  copy->RebuildIndex();
  return copy;
}

void VkCatStringEncoder::Display(std::ostream& os) const {
  os << "\tVkCatStringEncoder object:  "
     << "Last code = " << lastCode_ << std::endl;
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    os << "\t\t" << i << "\t\t" << *texts_[i] << std::endl;
  }
}
