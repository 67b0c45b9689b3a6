// Runs the built program on the fixtures in tests/data and compares the
// output file byte for byte, the error stream and the exit code. A fixture
// NAME has a report NAME.txt, a template file NAME.dat, the expected output
// NAME.rtf and, where the run writes anything there, the error stream
// NAME.err.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
