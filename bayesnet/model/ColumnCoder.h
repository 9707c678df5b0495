#ifndef BAYESNET_COLUMNCODER_H_
#define BAYESNET_COLUMNCODER_H_

#include <cstddef>
#include <string>
#include <vector>

#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ColumnScoring.h"
#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/PredictorCoder.h"

class VkCatStringEncoder;

// A BayesNetModel's predictors coded from columns of cells, as
// PredictorCoder codes them from records: each predictor bound to the
// column its value comes from (Bind), then rows coded column by column
// (EncodeRows), with the very encoders Encode calls. A derived predictor
// defined by a Discretize of one number is compiled, when the coder is
// built, into its code for each bin, the default and the missing input.
//
// A caller may rely on: for rows of columns Bind accepted, where each cell
// stands for the numeric or string value a record would hold, EncodeRows
// gives each row the Encoding and codes Encode gives that record (and, with
// `evidence`, the codes EncodeEvidence gives it).
//
// REQUIRES: the model and `predictors` outlive the coder and do not change
// while it is used. Immutable after construction: any number of threads
// may use it at once. Owned by the model's ScoringPlan, beside the
// PredictorCoder it reads.
class ColumnCoder {
 public:
  using Encoding = PredictorCoder::Encoding;

  // A derived predictor computed by a Discretize of one number, compiled:
  // its bins, and the predictor's code for each choice the transformation
  // dictionary makes, as EncodeEvidence codes it (kNoValue, kUnknownValue
  // or a code).
  struct DerivedInput {
    bool compiled = false;  // false: only GetScore computes it
    std::string field;      // the input field
    std::vector<DiscretizeBin> bins;
    std::vector<int> binCodes;
    int defaultCode = PredictorCoder::kNoValue;
    int missingCode = PredictorCoder::kNoValue;
    // The same choices by region of the number line: the distinct margins
    // ascending (no NaN), and the code of each region, 2j for the numbers
    // between margins j-1 and j, 2j+1 for margin j itself.
    std::vector<double> margins;
    std::vector<int> regionCodes;
  };
  // Where EncodeRows finds a predictor's value: its own column, or the
  // column of the number its derived value is computed from, or nowhere
  // (all null: missing). Points into the columns given to Bind and into
  // the coder.
  struct ColumnSource {
    const ColumnScoring::Column* column = nullptr;
    const DerivedInput* derived = nullptr;
    const ColumnScoring::Column* input = nullptr;  // null: the input is missing
  };

  ColumnCoder(const BayesNetModel& model, const PredictorCoder& predictors);

  ColumnCoder(const ColumnCoder&) = delete;
  ColumnCoder& operator=(const ColumnCoder&) = delete;

  // Per predictor, where its value comes from among `columns` (by record
  // position, and by name for a derived predictor's input when
  // `derivedValues`, that is when GetScore would compute derived values),
  // into `bound` (NumPredictors() entries); false when some predictor's
  // cells could not be coded without value objects: a number or text its
  // encoder reads only through the interfaces, a missing-value test that
  // needs the value, a derived value with an input of texts, or a record
  // cell that a derived value stands in for when it is missing.
  bool Bind(const ColumnScoring::Column* columns, int numColumns, bool derivedValues,
            std::vector<ColumnSource>& bound) const;

  // Encode for rows first .. first+count-1 of the columns Bind bound: row
  // r's encoding in encodings[r], and when it is not Missing its codes in
  // codes[r * NumPredictors() ..]. With `evidence`, every row's codes are
  // written, Missing rows' too, as EncodeEvidence writes them.
  void EncodeRows(const ColumnSource* bound, std::size_t first, std::size_t count, int* codes,
                  Encoding* encodings, bool evidence) const;

  // EncodeRows without evidence, codes column by column: predictor i's
  // code of row r in codes[i * stride + r] (count <= stride), where row r
  // is Complete; the codes of the other rows are all 0, so that they index
  // the dense tables harmlessly. `bad` is scratch of `count` entries.
  void EncodeBlock(const ColumnSource* bound, std::size_t first, std::size_t count, int* codes,
                   std::size_t stride, Encoding* encodings, unsigned char* bad) const;

 private:
  template <bool kEvidence>
  void EncodeRowsAs(const ColumnSource* bound, std::size_t first, std::size_t count, int* codes,
                    Encoding* encodings) const;
  // EncodeBlock's loop over a column of texts whose categories all have
  // kLength bytes; returns every code or'ed together.
  template <std::size_t kLength>
  [[gnu::noinline]] static int EncodeUniform(const VkCatStringEncoder& strings,
                                             const std::string_view* texts, std::size_t count,
                                             int* out);
  // The code a compiled derived value gives its input's number x: the
  // missing code for a NaN or the system-missing value, else its region's.
  static int NumberCode(const DerivedInput& derived, double x);
  // A derived predictor's code for row `row` of its input column.
  static int DerivedCode(const DerivedInput& derived, const ColumnScoring::Column* input,
                         std::size_t row);
  // Compiles predictor p's derived value, when its input's missing values
  // are only the system-missing value.
  static DerivedInput CompileDerived(const PredictorCoder::Predictor& p,
                                     const TransformationDictionary& transformation,
                                     const ScoreDictionary* dataDictionary);

  const PredictorCoder& predictors_;
  std::vector<DerivedInput> derivedInputs_;  // per predictor
};

#endif  // BAYESNET_COLUMNCODER_H_
