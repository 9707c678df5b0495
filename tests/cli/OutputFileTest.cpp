// -o files: an output that is one of the run's inputs is refused, and an
// existing file is replaced only by a run that succeeds.

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

using testprocess::Outcome;
using testprocess::ReadFile;
using testprocess::TempPath;

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kCases = kData + "cli_cases.csv";

// A fresh folder for one test's files; its entries list what a run left.
class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempPath("output_file_test");
    std::system(("rm -rf '" + folder_ + "'").c_str());
    ASSERT_EQ(::mkdir(folder_.c_str(), 0755), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::FILE* file = std::fopen(Path(name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return Path(name);
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder_.c_str());
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder_;
};

TEST_F(OutputFileTest, AnOutputThatIsAnInputIsRefusedAndLeftAlone) {
  const std::string model = Write("model.pmml", ReadFile(cli_network::kModel));
  const std::string records = Write("records.csv", ReadFile(kCases));
  const std::string header = Write("header.csv", "id,x,n,note\n");
  const std::string rows = Write("rows.csv", "1,u,5,plain\n");
  ASSERT_EQ(::symlink(model.c_str(), Path("link.pmml").c_str()), 0);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"score", "-o", model, model, records}, model + " is the model " + model},
      {{"score", "-o", Path("link.pmml"), model, records},
       Path("link.pmml") + " is the model " + model},
      {{"score", "-o", records, model, records}, records + " is the input " + records},
      {{"score", "-o", records, model, "-"}, records + " is the input (standard input)"},
      {{"score", "--no-header", "--header-file", header, "-o", header, model, rows},
       header + " is the header file " + header},
      {{"graph", "-o", model, model}, model + " is the model " + model},
      {{"query", "--node", "x", "-o", records, model, records},
       records + " is the input " + records},
      {{"convert", model, "-o", model}, model + " is the input " + model},
      {{"learn", records, "--target", "x", "-o", records}, records + " is the input " + records},
  };
  for (const Case& c : cases) {
    const Outcome run = RunBnscore(c.args, records);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "bnscore: the output " + c.message + "\n");
  }
  EXPECT_EQ(ReadFile(model), ReadFile(cli_network::kModel));
  EXPECT_EQ(ReadFile(records), ReadFile(kCases));
  EXPECT_EQ(ReadFile(header), "id,x,n,note\n");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"header.csv", "link.pmml", "model.pmml",
                                                 "records.csv", "rows.csv"}));
}

TEST_F(OutputFileTest, OnlyASuccessfulRunReplacesTheFile) {
  const std::string out = Write("out.csv", "old\n");
  ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
  // Refused at the header, stopped by a ragged row (on one thread or more),
  // or by input that is not JSON Lines.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"score", "-o", out, cli_network::kModel, kData + "cli_empty.csv"},
        {"score", "-o", out, cli_network::kModel, kData + "cli_ragged.csv"},
        {"score", "--threads", "1", "-o", out, cli_network::kModel, kData + "cli_ragged.csv"},
        {"score", "--input-format", "jsonl", "-o", out, cli_network::kModel, kCases}}) {
    const Outcome run = RunBnscore(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(ReadFile(out), "old\n") << run.err;
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.csv"});

  // Through a symbolic link: the file it points at is replaced, with its
  // permissions, and the link stays.
  ASSERT_EQ(::symlink(out.c_str(), Path("link.csv").c_str()), 0);
  const Outcome run = RunBnscore({"score", "-o", Path("link.csv"), cli_network::kModel, kCases});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(out).substr(0, cli_network::kHeader.size()), cli_network::kHeader);
  struct stat info;
  ASSERT_EQ(::lstat(Path("link.csv").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.csv", "out.csv"}));

  // A device is written directly.
  EXPECT_EQ(RunBnscore({"graph", "-o", "/dev/null", cli_network::kModel}).status, 0);
}

TEST_F(OutputFileTest, AnInterruptedRunLeavesTheOldFileAndNoTemporaryFile) {
  const std::string out = Write("out.csv", "old\n");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[0], 0);
    ::close(pipeFds[1]);
    ::execl(BNSCORE_BIN_DIR "/bnscore", "bnscore", "score", "--threads", "1", "-o", out.c_str(),
            cli_network::kModel.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipeFds[0]);
  const std::string head = "id,x,n,note\n1,u,5,plain\n";
  ASSERT_EQ(::write(pipeFds[1], head.data(), head.size()), static_cast<ssize_t>(head.size()));
  // The run is under way once its temporary file exists.
  for (int i = 0; i < 500 && Entries().size() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Entries().size(), 2u);
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(pipeFds[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(ReadFile(out), "old\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.csv"});
}

}  // namespace
