#ifndef BNSCORE_LEARN_DATASOURCE_H_
#define BNSCORE_LEARN_DATASOURCE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bnscore::learn {

// CSV data that can be read from the start as often as a learner needs: a
// file (opened anew for each pass) or text in memory (which stays the
// caller's and must outlive the source).
class DataSource {
 public:
  using RowFunction = std::function<void(const std::vector<std::string_view>& cells, long line)>;

  static DataSource File(std::string path);
  static DataSource Text(std::string_view text, std::string name);

  const std::string& GetName() const { return name_; }

  // Reads the header row into `header`, then calls `row` with the cells of
  // every following row (views valid during the call) and its line. Throws
  // bnscore::Error "NAME:LINE: ..." for a CSV fault, an empty input or a
  // row whose number of cells differs from the header's; "cannot open" /
  // "cannot read NAME" for file faults.
  void Read(char delimiter, std::vector<std::string>& header, const RowFunction& row) const;

 private:
  DataSource(std::string path, std::string_view text, std::string name, bool file)
      : path_(std::move(path)), text_(text), name_(std::move(name)), file_(file) {}

  std::string path_;
  std::string_view text_;
  std::string name_;
  bool file_;
};

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_DATASOURCE_H_
