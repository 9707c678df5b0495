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

#include "encoders/IVkEncoder.h"

// Encodes a categorical field whose categories are texts. Each distinct
// text gets the next code, 0, 1, 2, ... in the order it is first added.
// Texts match exactly, byte for byte (no case folding, no trimming); a
// numeric value is matched through its text form. Each text is stored once,
// as a key of the category map; the code-to-text list points at those
// keys, so the encoder is not copyable (use Clone). Labels are kept per
// code.
//
// Lookups give exactly the map's answer, faster: with a few categories a
// short text (8 bytes at most) is compared as one packed word against each
// category's, without branching on the outcome; more categories go through
// a hash table over views of the map's keys (both measured faster than the
// ordered map at those sizes).
class VkCatStringEncoder : public IVkEncoder {
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
  void SetLabels(const std::vector<std::string>& labels) override;
  // Lengthens the labels to the number of categories, then sets the label
  // of a code in range.
  void SetLabel(int code, const std::string& label) override;
  const std::vector<std::string>* GetLabels() const override { return &labels_; }

  // What GetCode gives for a value whose text is `text`, without the
  // virtual calls (for scoring plans that know the value's class).
  int CodeOfText(std::string_view text) const { return FindText(text); }
  // "\tVkCatStringEncoder object:  Last code = N", then one line per code.
  void Display(std::ostream& os) const override;

 private:
  // Up to this many categories a linear scan beats hashing.
  static constexpr std::size_t kLinearLimit = 6;

  // Texts up to this long are packed into one word.
  static constexpr std::size_t kShortText = 8;

  int FindText(std::string_view text) const;
  // Adds code `code`, whose text is `text` (a key of codes_), to the
  // lookup structures.
  void IndexText(const std::string& text, int code);
  // Rebuilds the lookup structures from texts_ (after a copy of the map).
  void RebuildIndex();
  // The bytes of a short text, zero-padded, as one word.
  static std::uint64_t Pack(std::string_view text);

  // Ordered as std::map<std::string, int>; std::less<> allows lookups by
  // string_view without building a string.
  std::map<std::string, int, std::less<>> codes_;
  std::vector<const std::string*> texts_;  // code -> key in codes_
  std::unordered_map<std::string_view, int> index_;  // views of codes_' keys -> code
  std::vector<std::uint64_t> packed_;  // code -> Pack(text), for short texts
  std::vector<std::size_t> lengths_;   // code -> text length
  std::vector<std::string> labels_;        // code -> label; may be shorter
  int lastCode_;                           // -1 while empty
};

#endif  // BAYESNET_VKCATSTRINGENCODER_H_
