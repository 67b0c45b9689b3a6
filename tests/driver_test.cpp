#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "support.h"
#include "template/store.h"

namespace {

using lyricrtf::Platform;

const std::string usage_line =
    "Usage (v7.0): lyricrtf [-c config.dat] [-o output.rtf] <filename.txt> -[h|?]\n";

struct OptionCase {
  std::vector<std::string> args;
  int input;
  std::string config;
  std::string output;
  std::string err;
};

void check_options(const Platform& platform, const std::vector<OptionCase>& cases) {
  for (const OptionCase& c : cases) {
    std::vector<std::string> copies = {"lyricrtf"};
    copies.insert(copies.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    lyricrtf::config.clear();
    lyricrtf::output.clear();
    testing::internal::CaptureStderr();
    int input = lyricrtf::options(static_cast<int>(copies.size()), argv.data(), platform);
    std::string err = testing::internal::GetCapturedStderr();
    std::string row = testing::PrintToString(c.args);
    EXPECT_EQ(input, c.input) << row;
    EXPECT_EQ(lyricrtf::config, c.config) << row;
    EXPECT_EQ(lyricrtf::output, c.output) << row;
    EXPECT_EQ(err, c.err) << row;
  }
}

TEST(OptionScan, FollowsTheOptionTableOnBothPlatforms) {
  const std::vector<OptionCase> common = {
      {{}, 0, "", "", ""},
      {{"a.txt"}, 1, "", "", ""},
      {{""}, 1, "", "", ""},
      {{"-h"}, 0, "", "", ""},
      {{"-H", "a.txt"}, 0, "", "", ""},
      {{"-?", "a.txt"}, 0, "", "", ""},
      {{"-help"}, 0, "", "", ""},
      {{"a.txt", "-h"}, 1, "", "", ""},
      {{"-x", "a.txt"}, 2, "", "", "Unknown option -x\n"},
      {{"-", "a.txt"}, 2, "", "", "Unknown option -\n"},
      {{"-c", "t.dat", "a.txt"}, 3, "t.dat", "", ""},
      {{"-C", "t.dat", "-O", "o.rtf", "a.txt"}, 5, "t.dat", "o.rtf", ""},
      {{"-cfoo", "a.txt"}, 0, "a.txt", "", ""},
      {{"-output", "o", "a.txt"}, 3, "", "o", ""},
      {{"-c"}, 0, "", "", ""},
      {{"-o"}, 0, "", "", ""},
      {{"-c", "-o", "a.txt"}, 3, "-o", "", ""},
      {{"-c", "a", "-c", "b", "x"}, 5, "b", "", ""},
      {{"-o", "", "a.txt"}, 3, "", "", ""},
      {{"-c", "t", "a.txt", "-o", "ignored"}, 3, "t", "", ""},
  };
  check_options(lyricrtf::posix, common);
  check_options(lyricrtf::windows, common);

  check_options(lyricrtf::posix, {
                                     {{"/home/lists/Easter.txt"}, 1, "", "", ""},
                                     {{"-c", "/etc/t.dat", "/x.txt"}, 3, "/etc/t.dat", "", ""},
                                     {{"/c", "t", "a.txt"}, 1, "", "", ""},
                                 });
  check_options(lyricrtf::windows, {
                                       {{"/home/lists/Easter.txt"}, 0, "", "", ""},
                                       {{"/c", "t", "/O", "o", "a.txt"}, 5, "t", "o", ""},
                                       {{"/?", "a.txt"}, 0, "", "", ""},
                                       {{"/", "a.txt"}, 2, "", "", "Unknown option /\n"},
                                   });
}

struct PathCase {
  std::string path;
  std::string dir, name, ext;
  std::string joined_rtf;  // makepath(dir, name, "rtf")
};

void check_paths(char separator, const std::vector<PathCase>& cases) {
  for (const PathCase& c : cases) {
    std::string dir = "stale", name = "stale", ext = "stale";
    lyricrtf::splitpath(c.path, dir, name, ext, separator);
    EXPECT_EQ(dir, c.dir) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
    EXPECT_EQ(ext, c.ext) << c.path;
    EXPECT_EQ(lyricrtf::makepath(dir, name, "rtf", separator), c.joined_rtf) << c.path;
  }
}

TEST(Paths, SplitAndJoinWithWindowsRules) {
  check_paths('\\', {
                        {"C:\\Lists\\Easter.txt", "C:\\Lists", "Easter", "txt", "C:\\Lists\\Easter.rtf"},
                        {"Easter.Sunday.txt", "", "Easter", "Sunday.txt", "Easter.rtf"},
                        {"C:\\My.Files\\Easter", "C:\\My.Files", "Easter", "", "C:\\My.Files\\Easter.rtf"},
                        {".\\Easter.txt", ".", "Easter", "txt", ".\\Easter.rtf"},
                        {"Easter", "", "Easter", "", "Easter.rtf"},
                        {"lists/Easter.txt", "", "lists/Easter", "txt", "lists/Easter.rtf"},
                        {"\\Easter.txt", "\\", "Easter", "txt", "\\Easter.rtf"},
                        {"", "", "", "", ".rtf"},
                    });
}

TEST(Paths, SplitAndJoinWithPosixRules) {
  check_paths('/', {
                       {"/home/lists/Easter.txt", "/home/lists", "Easter", "txt", "/home/lists/Easter.rtf"},
                       {"lists/Easter.txt", "lists", "Easter", "txt", "lists/Easter.rtf"},
                       {"./Easter.txt", ".", "Easter", "txt", "./Easter.rtf"},
                       {"my.files/Easter", "my.files", "Easter", "", "my.files/Easter.rtf"},
                       {"/Easter.txt", "/", "Easter", "txt", "/Easter.rtf"},
                       {"C:\\Lists\\Easter.txt", "", "C:\\Lists\\Easter", "txt", "C:\\Lists\\Easter.rtf"},
                       {"Easter.Sunday.txt", "", "Easter", "Sunday.txt", "Easter.rtf"},
                   });
}

// Runs `_main` with the working directory in a fresh temporary folder.
class Driver : public testing::Test {
 protected:
  void SetUp() override {
    char* here = getcwd(nullptr, 0);
    previous_ = here;
    free(here);
    ASSERT_EQ(chdir(dir_.root().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(previous_.c_str()), 0); }

  std::string path(std::string_view name) const { return dir_.path(name); }

  test::TempDir dir_;
  std::string previous_;
};

const std::string report = std::string(test::bom) + "Schedule Detail\n";
const std::string simple_template = "%Schedule\n[%S]\n%\\\n";

TEST_F(Driver, ConvertsAndDerivesTheNames) {
  struct Case {
    std::string input;
    std::string output;
    std::string schedule_name;
  };
  const std::vector<Case> cases = {
      {"Lists/Easter.txt", "Lists/Easter.rtf", "Lists/Easter"},
      {"My.Files/Easter.txt", "My.Files/Easter.rtf", "My"},
      {"./Easter.txt", "./Easter.rtf", ""},
      {"Easter", "Easter.rtf", "Easter"},
      {"Easter.Sunday.txt", "Easter.rtf", "Easter"},
  };
  ASSERT_EQ(mkdir("Lists", 0700), 0);
  ASSERT_EQ(mkdir("My.Files", 0700), 0);
  ASSERT_EQ(mkdir("bin", 0700), 0);
  // The default template file lies beside the program.
  test::write_file(path("bin/lyricrtf7.dat"), simple_template + "%Sname\nfrom the template\n%\\\n");
  for (const Case& c : cases) {
    test::write_file(path(c.input), test::bom);
    test::Run run = test::run_main(path("bin/lyricrtf"), {c.input});
    EXPECT_EQ(run.code, 0) << c.input;
    EXPECT_EQ(run.err, "") << c.input;
    EXPECT_EQ(test::read_file(path(c.output)), "[" + c.schedule_name + "]") << c.input;
  }
}

TEST_F(Driver, TakesTheTemplateFileFromTheCurrentFolderForABareProgramName) {
  test::write_file(path("lyricrtf7.dat"), simple_template);
  test::write_file(path("a.txt"), test::bom);
  test::Run run = test::run_main("lyricrtf-not-on-any-path", {"-o", "out.rtf", "a.txt"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(test::read_file(path("out.rtf")), "[a]");
}

TEST_F(Driver, UsesOptionValuesExactlyAsTyped) {
  test::write_file(path("my.template"), simple_template);
  test::write_file(path("a.txt"), test::bom);
  test::Run run = test::run_main("nowhere/lyricrtf", {"-x", "-c", "my.template", "-o", "out", "a.txt", "-h"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "Unknown option -x\n");
  EXPECT_EQ(test::read_file(path("out")), "[a]");
}

struct FailureCase {
  const char* what;
  std::string program;
  std::vector<std::string> args;
  int code;
  std::string err;
};

TEST_F(Driver, FailsAsTheFailureTableSays) {
  test::write_file(path("t.dat"), simple_template);
  test::write_file(path("good.txt"), report);
  test::write_file(path("nobom.txt"), "Schedule Detail\n");
  test::write_file(path("empty.txt"), "");
  const std::string no_file = "Fatal: No such file or directory\n";
  const std::string long_input(128, 'i');
  const std::string longest_input(127, 'i');
  const std::string long_program = std::string(126, 'p') + "/";
  const std::vector<FailureCase> cases = {
      {"only the program path", "lyricrtf", {}, 1, usage_line},
      {"help", "lyricrtf", {"-h", "good.txt"}, 2, usage_line},
      {"help with a slash", "lyricrtf", {"-c", "t.dat", "-?"}, 2, usage_line},
      {"no input file", "lyricrtf", {"-c", "t.dat"}, 2, usage_line},
      {"an option without its value", "lyricrtf", {"-o"}, 2, usage_line},
      {"input path of 128", "lyricrtf", {long_input}, 12,
       "Fatal: File path too long, move it closer to the root of the disk\n"},
      {"input path of 127 passes the check", "lyricrtf", {"-c", "t.dat", longest_input}, 12,
       "Fatal: Input file " + longest_input + " failed to open\n" + no_file},
      {"program path of 127", long_program, {"good.txt"}, 12,
       "Fatal: Program path too long, move it closer to the root of the disk\n"},
      {"program path of 126 passes the check", std::string(126, 'p'), {"good.txt"}, 12,
       "Fatal: Configuration file lyricrtf7.dat failed to open\n" + no_file},
      {"a long program path with -c", long_program + "x", {"-c", "t.dat", "-o", "o1.rtf", "good.txt"},
       0, ""},
      {"template file missing", "lyricrtf", {"-c", "none.dat", "good.txt"}, 12,
       "Fatal: Configuration file none.dat failed to open\n" + no_file},
      {"report missing", "lyricrtf", {"-c", "t.dat", "none.txt"}, 12,
       "Fatal: Input file none.txt failed to open\n" + no_file},
      {"output folder missing", "lyricrtf", {"-c", "t.dat", "-o", "no/out.rtf", "good.txt"}, 12,
       "Fatal: Output file no/out.rtf failed to open\n" + no_file},
      {"output that cannot be written", "lyricrtf", {"-c", "t.dat", "-o", "/dev/full", "good.txt"},
       12, "Fatal: Output file /dev/full failed to write\nFatal: No space left on device\n"},
  };
  for (const FailureCase& c : cases) {
    test::Run run = test::run_main(c.program, c.args);
    EXPECT_EQ(run.code, c.code) << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
  }
}

TEST_F(Driver, AReportWithoutByteOrderMarkLeavesAnEmptyOutput) {
  test::write_file(path("t.dat"), simple_template);
  test::write_file(path("nobom.txt"), "Schedule Detail\n");
  test::write_file(path("empty.txt"), "");
  for (const char* report_name : {"nobom.txt", "empty.txt"}) {
    test::write_file(path("out.rtf"), "old text");
    test::Run run = test::run_main("lyricrtf", {"-c", "t.dat", "-o", "out.rtf", report_name});
    EXPECT_EQ(run.code, 12);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.rfind("Fatal: Unicode identifier missing\nFatal: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.back(), '\n');
    EXPECT_TRUE(test::file_exists(path("out.rtf")));
    EXPECT_EQ(test::read_file(path("out.rtf")), "");
  }
}

TEST_F(Driver, AMissingReportLeavesAnExistingOutputAlone) {
  test::write_file(path("t.dat"), simple_template);
  test::write_file(path("out.rtf"), "old text");
  test::Run run = test::run_main("lyricrtf", {"-c", "t.dat", "-o", "out.rtf", "none.txt"});
  EXPECT_EQ(run.code, 12);
  EXPECT_EQ(test::read_file(path("out.rtf")), "old text");
}

TEST_F(Driver, HelpTouchesNoFile) {
  test::Run run = test::run_main("lyricrtf", {"-H", "-o", "out.rtf", "a.txt"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.err, usage_line);
  EXPECT_FALSE(test::file_exists(path("out.rtf")));
}

TEST_F(Driver, RunsAgainFromACleanState) {
  test::write_file(path("one.dat"), simple_template + "%Line\nsep\n%\\\n%T\nt\n%\\\n");
  test::write_file(path("two.dat"), "%Schedule\n[%<|%T]\n%\\\n");
  test::write_file(path("a.txt"), report);
  ASSERT_EQ(test::run_main("lyricrtf", {"-c", "one.dat", "-o", "1.rtf", "a.txt"}).code, 0);
  ASSERT_EQ(test::run_main("lyricrtf", {"-c", "two.dat", "-o", "2.rtf", "a.txt"}).code, 0);
  EXPECT_EQ(test::read_file(path("2.rtf")), "[\\line\n|]");
}

}  // namespace

namespace {

TEST(ProgramSearch, FindsABareNameInPathLikeTheShell) {
  test::TempDir dir;
  ASSERT_EQ(mkdir(dir.path("bin").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.path("plain").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.path("holder").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.path("holder/lyricrtf").c_str(), 0700), 0);
  test::write_file(dir.path("bin/lyricrtf"), "#!/bin/sh\n");
  ASSERT_EQ(chmod(dir.path("bin/lyricrtf").c_str(), 0755), 0);
  test::write_file(dir.path("plain/lyricrtf"), "not executable");
  const std::string bin = dir.path("bin"), plain = dir.path("plain"), holder = dir.path("holder");
  struct Case {
    std::string program;
    std::string path;
    std::string found;
  };
  const std::vector<Case> cases = {
      {"lyricrtf", bin, bin + "/lyricrtf"},
      {"lyricrtf", "/nonexistent:" + plain + ":" + holder + ":" + bin, bin + "/lyricrtf"},
      {"lyricrtf", plain + ":" + holder, "lyricrtf"},
      {"lyricrtf", "", "lyricrtf"},
      {"./lyricrtf", bin, "./lyricrtf"},
      {"other/lyricrtf", bin, "other/lyricrtf"},
      {"", bin, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lyricrtf::locate_program(c.program, c.path.c_str()), c.found) << c.program << " in " << c.path;
  EXPECT_EQ(lyricrtf::locate_program("lyricrtf", nullptr), "lyricrtf");
}

}  // namespace
