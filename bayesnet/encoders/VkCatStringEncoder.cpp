#include "bayesnet/encoders/VkCatStringEncoder.h"

#include "bayesnet/encoders/MCMV.h"

VkCatStringEncoder::VkCatStringEncoder() : lastCode_(-1) { texts_.reserve(2); }

VkCatStringEncoder::~VkCatStringEncoder() = default;

int VkCatStringEncoder::FindText(std::string_view text) const {
  auto found = index_.find(text);
  return found == index_.end() ? -1 : found->second;
}

void VkCatStringEncoder::IndexText(const std::string& text, int code) {
  index_.emplace(std::string_view(text), code);
  DropSlots();
}

void VkCatStringEncoder::RebuildIndex() {
  index_.clear();
  for (std::size_t code = 0; code < texts_.size(); ++code) {
    index_.emplace(std::string_view(*texts_[code]), static_cast<int>(code));
  }
  BuildSlots();
}

void VkCatStringEncoder::DropSlots() {
  slotKeys_.clear();
  slotLengths_.clear();
  slotCodes_.clear();
  uniformLength_ = 0;
}

void VkCatStringEncoder::BuildSlots() {
  // A short category's table: a table size and multiplier under which no
  // two share a slot, or none (all lookups through index_) when there are
  // too many or none is found.
  DropSlots();
  if (texts_.size() > kSlotLimit) return;
  struct Key {
    std::uint64_t packed;
    std::size_t length;
    int code;
  };
  std::vector<Key> keys;
  for (std::size_t code = 0; code < texts_.size(); ++code) {
    const std::string& text = *texts_[code];
    if (text.size() <= kShortText)
      keys.push_back(Key{Pack(text), text.size(), static_cast<int>(code)});
  }
  if (keys.empty()) return;
  // Multipliers from a fixed sequence (odd, so that no bit of the key is
  // lost), tried on tables of twice the keys and larger (up to 4,096
  // slots) until one gives every key a slot of its own.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state]() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (z ^ (z >> 31)) | 1u;
  };
  unsigned bits = 1;
  while ((std::size_t{1} << bits) < 2 * keys.size()) ++bits;
  std::vector<char> taken;
  for (; bits <= 12; ++bits) {
    const std::size_t size = std::size_t{1} << bits;
    for (int attempt = 0; attempt < 32; ++attempt) {
      const std::uint64_t multiplier = next();
      const unsigned shift = 64 - bits;
      taken.assign(size, 0);
      bool distinct = true;
      for (const Key& key : keys) {
        char& slot = taken[SlotOf(key.packed, multiplier, shift)];
        distinct = distinct && slot == 0;
        slot = 1;
      }
      if (!distinct) continue;
      multiplier_ = multiplier;
      shift_ = shift;
      slotKeys_.assign(size, 0);
      slotLengths_.assign(size, kNoLength);
      slotCodes_.assign(size, -1);
      for (const Key& key : keys) {
        const std::size_t slot = SlotOf(key.packed, multiplier, shift);
        slotKeys_[slot] = key.packed;
        slotLengths_[slot] = static_cast<std::uint32_t>(key.length);
        slotCodes_[slot] = key.code;
      }
      // One length for every category, long ones included.
      const std::size_t length = keys.front().length;
      bool uniform = keys.size() == texts_.size();
      for (const Key& key : keys) uniform = uniform && key.length == length;
      uniformLength_ = uniform ? length : 0;
      return;
    }
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
