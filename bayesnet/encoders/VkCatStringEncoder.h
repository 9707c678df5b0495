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
// int>::find gives and allocate nothing (a few categories: packed words
// compared without branches; more: a hash table).
class VkCatStringEncoder : public CategoricalEncoder {
 public:
  VkCatStringEncoder();
  ~VkCatStringEncoder() override;

  VkCatStringEncoder(const VkCatStringEncoder&) = delete;
  VkCatStringEncoder& operator=(const VkCatStringEncoder&) = delete;

  int GetEncoderType() const override { return CategoricalString; }
  int GetNumCategories() const override { return lastCode_ + 1; }
  // Adds the value's text (a null value adds nothing and gives -1).
  int AddCategory(const ScoreValue* value) override;
  int AddCategory(const std::string& text) override;
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
  // The common case, a short text and a few categories, is inline.
  int CodeOfText(std::string_view text) const {
    if (text.size() <= kShortText && keys_.size() <= kLinearLimit) return FindShort(text);
    return FindText(text);
  }
  // "\tVkCatStringEncoder object:  Last code = N", then one line per code.
  void Display(std::ostream& os) const override;

 private:
  // Up to this many categories a linear scan beats hashing.
  static constexpr std::size_t kLinearLimit = 6;

  // Texts up to this long are packed into one word.
  static constexpr std::size_t kShortText = 8;

  // A text's length and its bytes packed into one word (zero-padded; the
  // length tells "a" from "a\0"); for longer texts the word is 0.
  struct Key {
    std::uint64_t packed;
    std::size_t length;
  };

  int FindText(std::string_view text) const;
  // FindText for a short text with at most kLinearLimit categories. The
  // texts are distinct, so at most one key is equal: the map's answer.
  int FindShort(std::string_view text) const {
    const Key key{Pack(text), text.size()};
    int found = -1;
    for (std::size_t code = keys_.size(); code-- > 0;) {
      // One test of the combined difference, so that the compiler makes
      // no branch on the outcome, which varies from record to record.
      const std::uint64_t difference = (keys_[code].packed ^ key.packed) |
                                       static_cast<std::uint64_t>(keys_[code].length ^ key.length);
      found = difference == 0 ? static_cast<int>(code) : found;
    }
    return found;
  }
  // Adds code `code`, whose text is `text` (a key of codes_), to the
  // lookup structures.
  void IndexText(const std::string& text, int code);
  // Rebuilds the lookup structures from texts_ (after a copy of the map).
  void RebuildIndex();
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

  // Ordered as std::map<std::string, int>; std::less<> allows lookups by
  // string_view without building a string.
  std::map<std::string, int, std::less<>> codes_;
  std::vector<const std::string*> texts_;            // code -> key in codes_
  std::unordered_map<std::string_view, int> index_;  // views of codes_' keys -> code
  std::vector<Key> keys_;                            // code -> its text's Key
  int lastCode_;                                     // -1 while empty
};

#endif  // BAYESNET_VKCATSTRINGENCODER_H_
