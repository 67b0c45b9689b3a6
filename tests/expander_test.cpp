#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

// A template file whose Schedule template is `schedule`, followed by more
// definitions.
std::string with_schedule(const std::string& schedule, const std::string& more = "") {
  return "%Schedule\n" + schedule + "\n%\\\n" + more;
}

struct DirectiveCase {
  const char* what;
  std::string schedule;
  std::string more;
  std::string output;
};

TEST(Directives, ExpandAsTheTableSays) {
  const std::vector<DirectiveCase> cases = {
      {"literal text", "{\\rtf1 abc}", "", "{\\rtf1 abc}"},
      {"percent percent", "100%%", "", "100%"},
      {"a slot by its character", "[%T]", "%T\ntitle\n%\\\n", "[title]"},
      {"the Line separator default", "a%<b", "", "a\\line\nb"},
      {"a tag template", "%3", "%Bridge\nB\n%\\\n", "B"},
      {"the Stanza template is out of reach", "[%0]", "%Stanza\nS\n%\\\n", "[]"},
      {"a blank after percent is dropped", "a% b", "", "ab"},
      {"a brace after percent is dropped", "a%{b", "", "ab"},
      {"a high byte after percent is dropped", "a%\xE9" "b", "", "ab"},
      {"a percent at a line end joins the lines", "a%\nb", "", "ab"},
      {"a lone percent ends the text", "ab\n%", "", "ab\n"},
      {"bytes 128 to 255 pass unchanged", "\x80\xE9\xFF", "", "\x80\xE9\xFF"},
      {"nested slots", "%A", "%A\n<%B>\n%\\\n%B\n[%c]\n%\\\n%c\nx\n%\\\n", "<[x]>"},
      {"a song loop over no records", "a%Cb", "%Song\nsong\n%\\\n", "ab"},
      {"a stanza loop before any record", "a%sb", "%Stanza\nstanza\n%\\\n", "ab"},
      {"directives inside a slot text", "%x", "%x\n50%% %<\n%\\\n", "50% \\line\n"},
      {"an empty Schedule template", "", "%T\nunused\n%\\\n", ""},
  };
  for (const DirectiveCase& c : cases)
    EXPECT_EQ(test::expand(with_schedule(c.schedule, c.more)), c.output) << c.what;
}

struct LoopCase {
  const char* what;
  std::string schedule;
  std::string more;
  std::string output;
  std::string err;
};

TEST(SelfReference, IsLeftOutWithOneWarningAndTheRestWritten) {
  const std::vector<LoopCase> cases = {
      {"the Schedule names itself", "a%:b", "", "ab",
       "Warning: %: refers back to itself and is left out.\n"},
      {"a slot names itself twice", "<%T>", "%T\n1%T2%T3\n%\\\n", "<123>",
       "Warning: %T refers back to itself and is left out.\n"},
      {"two slots name each other", "%A|%A", "%A\na%B\n%\\\n%B\nb%A\n%\\\n", "ab|ab",
       "Warning: %A refers back to itself and is left out.\n"},
      {"a chain without a cycle is not cut", "%A", "%A\na%B\n%\\\n%B\nb%D\n%\\\n%D\nd\n%\\\n",
       "abd", ""},
      {"the same slot side by side is no cycle", "%T%T", "%T\nt\n%\\\n", "tt", ""},
  };
  for (const LoopCase& c : cases) {
    std::string err;
    EXPECT_EQ(test::expand(with_schedule(c.schedule, c.more), "", &err), c.output) << c.what;
    EXPECT_EQ(err, c.err) << c.what;
  }
}

TEST(RewrittenTexts, AreWalkedAsTheyWereWhenTheirExpansionBegan) {
  const std::string records =
      "Schedule Detail\nfor E.sch\nOne\nVerse 1\na\nVerse 2\nb\n      \nA\nc\nN\n"
      "Schedule Detail\nfor E.sch\nTwo\nx\ny\n      \nA\nc\nN\n";
  // The title slot holds a song loop that replaces the title.
  EXPECT_EQ(test::expand(with_schedule("%T|%T", "%T\n<%C>\n%\\\n%Song\n[%T]\n%\\\n"), records),
            "<[One][Two]>|Two");
  // The stanza text holds a stanza loop that replaces the stanza text.
  EXPECT_EQ(test::expand(with_schedule("%C", "%Song\n%z\n%\\\n%z\n(%s)\n%\\\n%Stanza\n[%z]\n%\\\n"),
                         records),
            "([a][b])b");
}

TEST(SelfReference, WarnsAgainInTheNextRun) {
  for (int run = 0; run < 2; ++run) {
    std::string err;
    test::expand(with_schedule("%:"), "", &err);
    EXPECT_EQ(err, "Warning: %: refers back to itself and is left out.\n");
  }
}

}  // namespace
