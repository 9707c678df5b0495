#ifndef BAYESNET_VKCATSTRINGENCODER_H_
#define BAYESNET_VKCATSTRINGENCODER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bayesnet/encoders/CategoricalEncoder.h"

#include "bayesnet/encoders/IVkEncoder.h"

// Encodes a categorical field whose categories are texts. Each distinct
// text gets the next code, 0, 1, 2, ... in the order it is first added.
// Texts match exactly, byte for byte (no case folding, no trimming); a
// numeric value is matched through its text form. Not copyable (the
// code-to-text list points into the category map): use Clone. Labels are
// kept per code. Lookups give exactly what std::map<std::string,
// int>::find gives and allocate nothing: a text of at most 8 bytes is
// packed into one word and looked up in a table where, for a multiplier
// chosen once the categories are in (BuildSlots), every short category has
// a slot of its own (one probe, one comparison); longer texts, and every
// text while there is no table (before BuildSlots, after an AddCategory,
// or when no such multiplier is found: too many categories, or two that
// differ only in trailing zero bytes), go through a hash table.
class VkCatStringEncoder : public CategoricalEncoder {
 public:
  VkCatStringEncoder();
  ~VkCatStringEncoder() override;

  VkCatStringEncoder(const VkCatStringEncoder&) = delete;
  VkCatStringEncoder& operator=(const VkCatStringEncoder&) = delete;

  int GetEncoderType() const override { return CategoricalString; }
  int GetNumCategories() const override { return lastCode_ + 1; }
  // Adds the value's text (a null value adds nothing and gives -1). A new
  // category drops the short-text table until BuildSlots.
  int AddCategory(const ScoreValue* value) override;
  int AddCategory(const std::string& text) override;
  // Builds the short-text table for the categories added so far: to be
  // called once the last is in (a table costs up to a few thousand tries
  // to build, too much to build again for every category added). Clone
  // builds the copy's.
  void BuildSlots();
  int GetCode(const std::string& text) const override;
  // Allocates nothing: the value's text is viewed, not copied. A null
  // value gives -1.
  int GetCode(const ScoreValue* value) const override;
  std::string GetCategoryString(int code) const override;
  // Always MCMV::Missing(): the categories have no number.
  double GetCategoryValue(int code) const override;
  // Copies the categories (pointing into the copy's own map), not the
  // labels.
  IVkEncoder* Clone() const override;

  // What GetCode gives for a value whose text is `text`, without the
  // virtual calls (for scoring plans that know the value's class).
  // The common case, a short text, is inline.
  int CodeOfText(std::string_view text) const {
    const std::size_t n = text.size();
    if (n > kShortText || slotKeys_.empty()) return FindText(text);
    const std::uint64_t packed = Pack(text);
    const std::size_t slot = SlotOf(packed, multiplier_, shift_);
    return slotKeys_[slot] == packed && slotLengths_[slot] == n ? slotCodes_[slot] : -1;
  }

  // The length every category's text has when it is the same for all and
  // at most 8 bytes, and the short-text table exists; else 0. A text of
  // another length is then no category.
  std::size_t UniformLength() const { return uniformLength_; }
  // The short-text table for texts of UniformLength() bytes, copied out so
  // that a loop keeps it in registers. Points into the encoder.
  struct UniformTable {
    const std::uint64_t* keys;
    const int* codes;
    std::uint64_t multiplier;
    unsigned shift;
    // CodeOfText for the kLength bytes at `p`; kLength is UniformLength().
    template <std::size_t kLength>
    int Code(const char* p) const {
      const std::uint64_t packed = PackFixed<kLength>(reinterpret_cast<const unsigned char*>(p));
      // Every slot holds a text of kLength bytes, or is empty with code -1.
      const std::size_t slot = SlotOf(packed, multiplier, shift);
      return keys[slot] == packed ? codes[slot] : -1;
    }
  };
  UniformTable Uniform() const {
    return UniformTable{slotKeys_.data(), slotCodes_.data(), multiplier_, shift_};
  }

  // "\tVkCatStringEncoder object:  Last code = N", then one line per code.
  void Display(std::ostream& os) const override;

 private:
  // Texts up to this long are packed into one word.
  static constexpr std::size_t kShortText = 8;
  // Encoders of up to this many categories try for a table of slots.
  static constexpr std::size_t kSlotLimit = 64;

  static constexpr std::uint32_t kNoLength = 0xFFFFFFFFu;

  // The slot of a packed text. Texts that differ only in trailing zero
  // bytes pack alike: categories like that get no table.
  static std::size_t SlotOf(std::uint64_t packed, std::uint64_t multiplier, unsigned shift) {
    return static_cast<std::size_t>((packed * multiplier) >> shift);
  }

  int FindText(std::string_view text) const;
  // Adds code `code`, whose text is `text` (a key of codes_), to the
  // lookup structures.
  void IndexText(const std::string& text, int code);
  // Rebuilds the lookup structures from texts_ (after a copy of the map).
  void RebuildIndex();
  // Drops the short-text table: every lookup then goes through index_.
  void DropSlots();
  // The bytes of a text of at most 8 bytes, byte i at bits 8i..8i+7, the
  // rest zero: whole words read as 4-byte loads (first and last four,
  // which may overlap), shorter texts byte by byte.
  static std::uint64_t Pack(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    auto load4 = [](const unsigned char* q) {
      return static_cast<std::uint64_t>(q[0]) | static_cast<std::uint64_t>(q[1]) << 8 |
             static_cast<std::uint64_t>(q[2]) << 16 | static_cast<std::uint64_t>(q[3]) << 24;
    };
    if (n >= 4) return load4(p) | load4(p + n - 4) << (8 * (n - 4));
    if (n == 0) return 0;
    return static_cast<std::uint64_t>(p[0]) |
           static_cast<std::uint64_t>(p[n / 2]) << (8 * (n / 2)) |
           static_cast<std::uint64_t>(p[n - 1]) << (8 * (n - 1));
  }
  // Pack for a text of exactly kLength bytes (the compiler merges the
  // byte loads into word loads).
  template <std::size_t kLength>
  static std::uint64_t PackFixed(const unsigned char* p) {
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < kLength; ++i) packed |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return packed;
  }

  // Ordered as std::map<std::string, int>; std::less<> allows lookups by
  // string_view without building a string.
  std::map<std::string, int, std::less<>> codes_;
  std::vector<const std::string*> texts_;            // code -> key in codes_
  std::unordered_map<std::string_view, int> index_;  // views of codes_' keys -> code
  // The short categories by SlotOf: packed text, length, code; an empty
  // slot has a length no text has and code -1. Empty: no table.
  std::vector<std::uint64_t> slotKeys_;
  std::vector<std::uint32_t> slotLengths_;
  std::vector<int> slotCodes_;
  std::uint64_t multiplier_ = 0;
  unsigned shift_ = 63;
  std::size_t uniformLength_ = 0;
  int lastCode_;  // -1 while empty
};

#endif  // BAYESNET_VKCATSTRINGENCODER_H_
