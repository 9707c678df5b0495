// Scores the CSV records of a file with a classifier read from PMML and
// writes the results to standard output, exactly as `bnscore score` does.
//   score_csv credit_risk.pmml applicants.csv
#include <bnscore/bnscore.h>

#include <cstdio>
#include <iostream>

namespace {

// A C stdio file as the engine's byte streams.
class FileSource : public bnscore::ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::fread(buffer, 1, size, file_);
    if (n == 0 && std::ferror(file_)) throw bnscore::Error("cannot read the records");
    return n;
  }

 private:
  std::FILE* file_;
};

class FileSink : public bnscore::ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  void Write(const char* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) != size) throw bnscore::Error("cannot write the results");
  }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) try {
  if (argc != 3) {
    std::cerr << "usage: score_csv MODEL.pmml RECORDS.csv\n";
    return 1;
  }
  auto model = bnscore::Model::Load(argv[1]);
  std::FILE* records = std::fopen(argv[2], "rb");
  if (records == nullptr) throw bnscore::Error(std::string("cannot open ") + argv[2]);
  FileSource input(records);
  FileSink output(stdout);
  const bnscore::CsvSummary summary = model->ScoreCsv(input, argv[2], output);
  std::fclose(records);
  std::cerr << "score_csv: scored " << summary.records << " records\n";
  return std::fflush(stdout) == 0 ? 0 : 1;
} catch (const bnscore::ModelError& e) {
  std::cerr << "score_csv: " << argv[1] << ": " << e.what() << "\n";
  return 2;
} catch (const bnscore::Error& e) {
  std::cerr << "score_csv: " << e.what() << "\n";
  return 1;
}
