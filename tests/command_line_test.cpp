#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "driver/command_line.h"
#include "support.h"

namespace {

struct SplitCase {
  const char* what;
  std::string line;
  std::vector<std::string> continuations;  // further lines typed, in order
  std::vector<std::string> words;
  size_t prompts;  // continuation prompts asked for
};

TEST(CommandLineSplit, CutsWordsAtBlanksAndQuotes) {
  const std::string long_word(100000, 'w');
  std::string many_line;
  std::vector<std::string> many_words;
  for (int i = 0; i < 500; ++i) {
    many_line += "w" + std::to_string(i) + " ";
    many_words.push_back("w" + std::to_string(i));
  }
  const std::vector<SplitCase> cases = {
      {"an empty line", "", {}, {}, 0},
      {"blanks only", "  \t ", {}, {}, 0},
      {"spaces and tabs", " a b\t\tc ", {}, {"a", "b", "c"}, 0},
      {"single quotes", "-c 'C:\\My Files\\songs.dat' 'C:\\My Files\\Easter.txt'", {},
       {"-c", "C:\\My Files\\songs.dat", "C:\\My Files\\Easter.txt"}, 0},
      {"double quotes", "-c \"C:\\My Files\\songs.dat\" \"C:\\My Files\\Easter.txt\"", {},
       {"-c", "C:\\My Files\\songs.dat", "C:\\My Files\\Easter.txt"}, 0},
      {"adjacent single quotes", "''", {}, {""}, 0},
      {"adjacent double quotes", "a \"\" b", {}, {"a", "", "b"}, 0},
      {"a closing quote ends the word", "'abc'def", {}, {"abc", "def"}, 0},
      {"a closing quote before a quote", "\"a b\"'c d'", {}, {"a b", "c d"}, 0},
      {"a quote inside a word", "ab'c d'", {}, {"ab'c", "d'"}, 0},
      {"the other quote inside quotes", "'say \"hi\"'", {}, {"say \"hi\""}, 0},
      {"an unclosed quote takes the rest", "a 'b c  d", {}, {"a", "b c  d"}, 0},
      {"a backslash inside a word", "a\\ b C:\\Lists\\", {}, {"a\\", "b", "C:\\Lists\\"}, 0},
      {"a continuation", "-c t.dat \\", {"Easter.txt"}, {"-c", "t.dat", "Easter.txt"}, 1},
      {"two continuations", "a \\", {"b \\", "c"}, {"a", "b", "c"}, 2},
      {"a line of only a backslash", "\\", {"x y"}, {"x", "y"}, 1},
      {"an empty continuation line", "a \\", {""}, {"a"}, 1},
      {"input ends at a continuation", "a b \\", {}, {"a", "b"}, 1},
      {"a backslash in quotes asks nothing", "'a \\", {}, {"a \\"}, 0},
      {"many words", many_line, {}, many_words, 0},
      {"a very long line", long_word + " x", {}, {long_word, "x"}, 0},
  };
  for (const SplitCase& c : cases) {
    size_t prompts = 0;
    std::vector<std::string> words =
        lyricrtf::split_command_line(c.line, [&](std::string& more) {
          if (prompts >= c.continuations.size()) {
            ++prompts;
            return false;
          }
          more = c.continuations[prompts++];
          return true;
        });
    EXPECT_EQ(words, c.words) << c.what;
    EXPECT_EQ(prompts, c.prompts) << c.what;
  }
}

TEST(CommandLineRead, KeepsALastCharacterWithoutLineEnd) {
  FILE* in = test::input_stream("first\nsecond");
  std::string line;
  EXPECT_TRUE(lyricrtf::read_line(in, line));
  EXPECT_EQ(line, "first");
  EXPECT_TRUE(lyricrtf::read_line(in, line));
  EXPECT_EQ(line, "second");
  EXPECT_FALSE(lyricrtf::read_line(in, line));
  std::fclose(in);
}

const std::string prompt = "Enter command : ";
const std::string banners = "\nProgram Starting\n\n\nProgram Complete\n(hit return to exit)...";
const std::string usage_line =
    "Usage (v7.0): lyricrtf [-c config.dat] [-o output.rtf] <filename.txt> -[h|?]\n";

struct SessionCase {
  const char* what;
  std::string typed;
  int code;
  std::string out;
  std::string err;
};

TEST(InteractiveStart, AsksRunsAndWaits) {
  test::TempDir dir;
  ASSERT_EQ(mkdir(dir.path("My Files").c_str(), 0700), 0);
  test::write_file(dir.path("My Files/t.dat"), "%Schedule\n%C%T\n%\\\n");
  test::write_file(dir.path("My Files/Easter.txt"),
                   std::string(test::bom) + "Schedule Detail\nfor E.sch\nHymn\nx\nl\n      \nA\nc\nN\n");
  const std::vector<SessionCase> cases = {
      {"a conversion with quoted paths", "-c 'My Files/t.dat' -o out.rtf \"My Files/Easter.txt\"\n\n", 0,
       prompt + banners, "Hymn\n"},
      {"a continued command line", "-c 'My Files/t.dat' -o out.rtf \\\n\"My Files/Easter.txt\"\n\n", 0,
       prompt + "Continue command line: \n" + banners, "Hymn\n"},
      {"an empty line", "\n\n", 1, prompt + banners, usage_line},
      {"no input at all", "", 1, prompt + banners, usage_line},
      {"input ends at the continuation", "-o out.rtf \\", 2, prompt + "Continue command line: \n" + banners,
       usage_line},
      {"help", "-h\n", 2, prompt + banners, usage_line},
  };
  for (const SessionCase& c : cases) {
    std::remove(dir.path("out.rtf").c_str());
    test::Run run = test::run_program({}, dir.root(), c.typed);
    EXPECT_EQ(run.code, c.code) << c.what;
    EXPECT_EQ(run.out, c.out) << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
    if (c.code == 0) {
      EXPECT_EQ(test::read_file(dir.path("out.rtf")), "Hymn") << c.what;
    }
  }
}

TEST(InteractiveStart, IsSkippedWhenArgumentsAreGiven) {
  test::TempDir dir;
  test::Run run = test::run_program({"-h"}, dir.root(), "typed\n");
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, usage_line);
}

}  // namespace
