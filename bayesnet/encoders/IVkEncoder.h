#ifndef BAYESNET_IVKENCODER_H_
#define BAYESNET_IVKENCODER_H_

#include <ostream>
#include <string>
#include <vector>

#include "host/interfaces/ScoreValue.h"

// Maps a field value to its category code, the zero-based int that indexes
// a variable's states in the conditional probability tables, and a code
// back to the category's value, text or label. -1 means "no code". Codes
// once assigned never change. Scoring only reads an encoder; AddCategory
// and SetLabel are used while the model is built.
class IVkEncoder {
 public:
  // Fixed by the host interface; do not change.
  enum EncoderType { Binning = 1, CategoricalNumeric = 2, CategoricalString = 3 };

  virtual ~IVkEncoder() = default;

  virtual int GetEncoderType() const = 0;
  // Valid codes are 0 to GetNumCategories() - 1.
  virtual int GetNumCategories() const = 0;
  // The value's code; a categorical encoder gives a new value the next code.
  virtual int AddCategory(const ScoreValue* value) = 0;
  virtual int AddCategory(const std::string& text) = 0;
  // The code of a value, or -1; never adds a category.
  virtual int GetCode(const std::string& text) const = 0;
  // Allocates nothing; a null value gives -1.
  virtual int GetCode(const ScoreValue* value) const = 0;
  // The category's text, "" where there is none.
  virtual std::string GetCategoryString(int code) const = 0;
  // The category's number, a missing value where there is none.
  virtual double GetCategoryValue(int code) const = 0;
  // A new copy; the caller owns it.
  virtual IVkEncoder* Clone() const = 0;
  virtual void SetLabels(const std::vector<std::string>& labels) = 0;
  virtual void SetLabel(int code, const std::string& label) = 0;
  // The labels indexed by code, or null for an encoder that keeps none.
  virtual const std::vector<std::string>* GetLabels() const = 0;
  // A diagnostic description.
  virtual void Display(std::ostream& os) const = 0;

 protected:
  IVkEncoder() = default;
  IVkEncoder(const IVkEncoder&) = default;
  IVkEncoder& operator=(const IVkEncoder&) = default;
};

#endif  // BAYESNET_IVKENCODER_H_
