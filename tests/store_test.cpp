#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support.h"
#include "template/store.h"

namespace {

using lyricrtf::escape;

std::string slot(int n) { return lyricrtf::slot_text(n); }

void read_templates(std::string_view file) {
  lyricrtf::init();
  FILE* f = test::input_stream(file);
  lyricrtf::get_template(f);
  std::fclose(f);
}

TEST(SlotTable, InitLeavesEverySlotEmptyButTheLineSeparator) {
  lyricrtf::store_escape(36, "left over from an earlier run");
  lyricrtf::init();
  for (int n = 0; n < lyricrtf::slot_count; ++n) {
    if (n == 12)
      EXPECT_EQ(slot(n), "\\line\n");
    else
      EXPECT_EQ(slot(n), "") << "slot " << n;
  }
}

// A slot's buffer is reused for the next text whatever their sizes, even
// when the new text lies in the old one; a text still held elsewhere stays.
TEST(SlotTable, StoredTextsReplaceTheOldOnesWhateverTheirSizes) {
  lyricrtf::init();
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const int title = 36;
  for (size_t first : {0, 1, 3, 7, 8, 15, 16, 17, 40}) {
    for (size_t next : {0, 1, 2, 4, 5, 8, 9, 16, 17, 33, 60}) {
      lyricrtf::store_text(title, letters.substr(0, first), false);
      lyricrtf::store_text(title, letters.substr(10, next), false);
      EXPECT_EQ(slot(title), letters.substr(10, next)) << first << " then " << next;
      // The end of the slot's own text, moved to its start.
      const std::string own = slot(title);
      for (size_t skip = 0; skip <= own.size(); skip += 3) {
        lyricrtf::store_text(title, std::string_view(*escape[title]).substr(skip), false);
        ASSERT_EQ(slot(title), own.substr(skip)) << first << " " << next << " " << skip;
        lyricrtf::store_text(title, own, false);
      }
      lyricrtf::Text held = escape[title];
      lyricrtf::store_text(title, "other", false);
      EXPECT_EQ(*held, own);
      EXPECT_EQ(slot(title), "other");
    }
  }
}

struct NameCase {
  const char* name;
  int slot;
};

TEST(DefinitionNames, ResolveToTheirSlots) {
  const std::vector<NameCase> cases = {
      {"Schedule", 10}, {"SCHEDULE", 10}, {"schedule", 10}, {"Song", 11},   {"SONG", 11},
      {"Line", 12},     {"Stanza", 0},    {"Verse", 1},     {"chorus", 2},  {"BRIDGE", 3},
      {"Intro", 4},     {"End", 5},       {"Slide", 6},     {"tag", 7},
      // Every other name takes the slot of its first byte, case and all.
      {"Song ", 35},    {"Songs", 35},    {"songs", 67},    {"Title", 36},  {"title", 68},
      {"A", 17},        {"z", 74},        {"[x", 43},       {"\\", 44},     {"`", 48},
      {"lTitle", 60},
      // Names below 'A' or above 'z' select nothing.
      {"", -1},         {"1abc", -1},     {" Song", -1},    {"@", -1},      {"{", -1},
      {"\xFF", -1},
  };
  for (const NameCase& c : cases) EXPECT_EQ(lyricrtf::resolve_name(c.name), c.slot) << c.name;
}

struct FileCase {
  const char* what;
  std::string file;
  int slot;
  std::string text;
};

TEST(TemplateFile, BytesBecomeSlotTexts) {
  using namespace std::string_literals;
  const std::vector<FileCase> cases = {
      {"LF line ends", "%Song\nabc\ndef\n%\\\n", 11, "abc\ndef"},
      {"CR LF line ends", "%Song\r\nabc\r\ndef\r\n%\\\r\n", 11, "abc\ndef"},
      {"a lone CR is dropped", "%Song\na\rb\n%\\\n", 11, "ab"},
      {"of two CRs the second stays", "%Song\na\r\rb\n%\\\n", 11, "a\rb"},
      {"terminator right after the name", "%Song\n%\\\n", 11, ""},
      {"directives may begin a body line", "%Song\n%%x\n%Ty\n%\\\n", 11, "%%x\n%Ty"},
      {"a percent after column 0 is text", "%Song\n%%%\\\n%\\\n", 11, "%%%\\"},
      {"a lone percent line keeps its line feed", "%Song\n%\nb\n%\\\n", 11, "%\nb"},
      {"a lone percent before the terminator", "%Song\na\n%\n%\\\n", 11, "a\n%"},
      {"end of file after a line feed", "%Song\nabc\n", 11, "abc"},
      {"end of file drops the last character", "%Song\nabc", 11, "ab"},
      {"a lone percent at the end of file stays", "%Song\nab\n%", 11, "ab\n%"},
      {"a name line at the end of file", "%Song", 11, ""},
      {"a later definition counts", "%T\na\n%\\\n%T\nb\n%\\\n", 36, "b"},
      {"Line replaces the default separator", "%Line\n<br>\n%\\\n", 12, "<br>"},
      {"lines outside definitions are ignored", "junk\n\n x\n%T\nx\n%\\\n", 36, "x"},
      {"a terminator goes on with a name line", "%Song\na\n%\\%T\nt\n%\\\n", 36, "t"},
      {"text after a terminator is ignored", "%Song\na\n%\\ junk %T\n%T\nt\n%\\\n", 36, "t"},
      {"byte 255 is data", "%Song\na\xFF" "b\n%\\\n", 11, "a\xFF" "b"},
      {"a zero byte ends the text", "%Song\na\0b\n%\\\n"s, 11, "a"},
      {"a name may hold blanks", "%Title of the song\nx\n%\\\n", 36, "x"},
      {"a long body", "%Song\n" + std::string(5000, 'x') + "\n%\\\n", 11,
       std::string(5000, 'x')},
      {"a long name", "%T" + std::string(5000, 'n') + "\nx\n%\\\n", 36, "x"},
  };
  for (const FileCase& c : cases) {
    read_templates(c.file);
    EXPECT_EQ(slot(c.slot), c.text) << c.what;
  }
}

TEST(TemplateFile, ANameLineAfterATerminatorMayHaveAnEmptyBody) {
  read_templates("%Song\na\n%\\%T\n%\\\n%Verse\nv\n%\\\n");
  EXPECT_EQ(slot(11), "a");
  EXPECT_EQ(slot(36), "");
  EXPECT_EQ(slot(1), "v");
}

TEST(TemplateFile, AnUnresolvedNameLetsItsTerminatorOpenTheBackslashSlot) {
  read_templates("%1st\nxxx\n%\\\n%Song\ns\n%\\\n%T\nt\n%\\\n");
  EXPECT_EQ(slot(44), "%Song\ns");
  EXPECT_EQ(slot(11), "");
  EXPECT_EQ(slot(36), "t");
}

TEST(TemplateFile, AByteOrderMarkHidesTheFirstNameLine) {
  read_templates("\xEF\xBB\xBF%Song\na\n%\\\nb\n%\\\n");
  EXPECT_EQ(slot(11), "");
  EXPECT_EQ(slot(44), "b");
}

TEST(TemplateFile, EmptyFileLeavesTheTableAsInitMadeIt) {
  read_templates("");
  EXPECT_EQ(slot(10), "");
  EXPECT_EQ(slot(12), "\\line\n");
}

}  // namespace
