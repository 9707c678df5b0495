#ifndef BAYESNET_VKCATNUMERICENCODER_H_
#define BAYESNET_VKCATNUMERICENCODER_H_

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "bayesnet/encoders/CountBelow.h"
#include "bayesnet/encoders/CategoricalEncoder.h"

#include "bayesnet/encoders/IVkEncoder.h"

// Encodes a categorical field whose categories are numbers. Each distinct
// number gets the next code, 0, 1, 2, ... in the order it is first added;
// numbers match exactly (no tolerance; 0.0 and -0.0 are one category).
// Values are read with GetDouble() whatever their type. The categories
// have no text; labels are kept per code. Lookups give exactly what
// std::map<double, int>::find gives (a NaN key included) and allocate
// nothing.
class VkCatNumericEncoder : public CategoricalEncoder {
 public:
  VkCatNumericEncoder();
  ~VkCatNumericEncoder() override;

  int GetEncoderType() const override { return CategoricalNumeric; }
  int GetNumCategories() const override { return static_cast<int>(codes_.size()); }
  // Adds the value's number (a null value adds nothing and gives -1).
  int AddCategory(const ScoreValue* value) override;
  // Adds the number that NumericValue's text constructor reads.
  int AddCategory(const std::string& text) override;
  int GetCode(const std::string& text) const override;
  // Allocates nothing; a null value gives -1.
  int GetCode(const ScoreValue* value) const override;
  std::string GetCategoryString(int code) const override;
  // The category's number, or NumericValue::GetSysmisValue() for a code
  // out of range.
  double GetCategoryValue(int code) const override;
  // Copies the categories but not the labels.
  IVkEncoder* Clone() const override;

  // What GetCode gives for a value whose GetDouble() is x, without the
  // virtual calls (for scoring plans that know the value's class).
  int CodeOfNumber(double x) const { return FindNumber(x); }
  // The sorted keys and their codes, copied out so that a loop keeps them
  // in registers: Code(x) is CodeOfNumber(x). Points into the encoder;
  // null keys when a NaN is among them (then only CodeOfNumber answers).
  struct SortedKeys {
    const double* keys;
    const int* codes;
    std::size_t n;
    int Code(double x) const {
      const std::size_t first = CountBelow(keys, n, x);
      return first < n && !(x < keys[first]) ? codes[first] : -1;
    }
  };
  SortedKeys Sorted() const {
    return SortedKeys{nanKey_ ? nullptr : keys_.data(), keyCodes_.data(), keys_.size()};
  }
  // "\tVkCatNumericEncoder: Last code = N" and the values, seven a line.
  void Display(std::ostream& os) const override;

 private:
  int AddNumber(double x);
  // The map's answer for x: the sorted keys searched without branches,
  // or, with a NaN among the keys, the map itself.
  int FindNumber(double x) const {
    if (nanKey_) return FindInMap(x);
    // std::map::find: the first key not below x, if x is not below it. The
    // keys ascend strictly (no two are equivalent, none is a NaN), so that
    // key's position is the count of keys below x. A NaN x is below nothing
    // and nothing is below it: the smallest key answers, as in the map.
    const std::size_t n = keys_.size();
    const std::size_t first = CountBelow(keys_.data(), n, x);
    return first < n && !(x < keys_[first]) ? keyCodes_[first] : -1;
  }
  int FindInMap(double x) const;
  // Refreshes keys_ and keyCodes_ from codes_.
  void SortKeys();

  std::map<double, int> codes_;  // number -> code
  std::vector<double> keys_;     // codes_' keys in map order
  std::vector<int> keyCodes_;    // their codes
  bool nanKey_;                  // a NaN is among the keys
  std::vector<double> values_;   // code -> number
  int lastCode_;                 // -1 while empty
};

#endif  // BAYESNET_VKCATNUMERICENCODER_H_
