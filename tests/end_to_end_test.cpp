// Runs the built program on the fixtures in tests/data and compares the
// output file byte for byte, the error stream and the exit code. A fixture
// NAME has a report NAME.txt, a template file NAME.dat, the expected output
// NAME.rtf and, where the run writes anything there, the error stream
// NAME.err.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support.h"

namespace {

std::string expected_err(const std::string& name) {
  std::string path = test::data(name + ".err");
  return test::file_exists(path) ? test::read_file(path) : "";
}

TEST(EndToEnd, GoldenFixtures) {
  for (const std::string name : {"schedule_only", "service"}) {
    test::TempDir dir;
    test::write_file(dir.path(name + ".dat"), test::read_file(test::data(name + ".dat")));
    test::write_file(dir.path(name + ".txt"), test::read_file(test::data(name + ".txt")));
    test::Run run = test::run_program({"-c", name + ".dat", name + ".txt"}, dir.root());
    EXPECT_EQ(run.code, 0) << name;
    EXPECT_EQ(run.out, "") << name;
    EXPECT_EQ(run.err, expected_err(name)) << name;
    EXPECT_EQ(test::read_file(dir.path(name + ".rtf")), test::read_file(test::data(name + ".rtf"))) << name;
  }
}

TEST(EndToEnd, WorkedExample) {
  test::TempDir dir;
  ASSERT_EQ(mkdir(dir.path("Lists").c_str(), 0700), 0);
  test::write_file(dir.path("t.dat"), test::read_file(test::data("worked_example.dat")));
  test::write_file(dir.path("Lists/Easter.txt"), test::read_file(test::data("worked_example.txt")));
  test::Run run = test::run_program({"-c", "t.dat", "Lists/Easter.txt"}, dir.root());
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "Morning Hymn\n");
  EXPECT_EQ(test::read_file(dir.path("Lists/Easter.rtf")), test::read_file(test::data("worked_example.rtf")));
}

TEST(EndToEnd, FatalFailuresEndTheProcessWithCode12) {
  test::TempDir dir;
  test::Run run = test::run_program({"-c", "none.dat", "a.txt"}, dir.root());
  EXPECT_EQ(run.code, 12);
  EXPECT_EQ(run.err, "Fatal: Configuration file none.dat failed to open\nFatal: No such file or directory\n");
}

}  // namespace

namespace {

TEST(EndToEnd, RunningOutOfMemoryIsFatal) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#else
  // A definition body, or a song record (read in the second thread), larger
  // than the memory the run may use.
  const std::string big(60 * 1000 * 1000, 'x');
  struct Case {
    const char* what;
    std::string templates;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"a huge template", "%Schedule\n" + big + "\n%\\\n", ""},
      {"a huge song record", "%Schedule\n%C\n%\\\n",
       "Schedule Detail\nfor E.sch\nHymn\nx\n" + big + "\n      \nA\nc\nN\n"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    test::write_file(dir.path("big.dat"), c.templates);
    test::write_file(dir.path("r.txt"), std::string(test::bom) + c.report);
    pid_t pid = fork();
    if (pid == 0) {
      int err = open(dir.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, 2);
      if (chdir(dir.root().c_str()) != 0) _exit(127);
      rlimit limit = {40 * 1000 * 1000, 40 * 1000 * 1000};
      setrlimit(RLIMIT_AS, &limit);
      std::string program = test::binary();
      execl(program.c_str(), program.c_str(), "-c", "big.dat", "-o", "out.rtf", "r.txt", nullptr);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << c.what;
    EXPECT_EQ(WEXITSTATUS(status), 12) << c.what;
    EXPECT_EQ(test::read_file(dir.path("err")), "Fatal: Out of memory\n") << c.what;
  }
#endif
}

}  // namespace
