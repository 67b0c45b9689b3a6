#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report/songs.h"
#include "support.h"

namespace {

// Every slot of a record shows in the Song template; the Schedule template
// shows what the slots hold after the song loop.
const std::string templates =
    "%Schedule\n"
    "%C(after: %S|%T)\n"
    "%\\\n"
    "%Song\n"
    "<%S|%T|%A|%c|%L|%N|%s>\n"
    "%\\\n"
    "%Stanza\n"
    "[%z]\n"
    "%\\\n"
    "%Line\n"
    "/\n"
    "%\\\n"
    "%label\n"
    "LBL\n"
    "%\\\n";

const std::string marker = "      \n";  // the end of the lyrics: six spaces

std::string record(const std::string& title, const std::string& lyrics,
                   const std::string& tail = "Author\nc line\n42\n",
                   const std::string& heading = "Schedule Detail\nfor Easter.sch\n") {
  return heading + title + "\n" + lyrics + marker + tail;
}

struct RecordCase {
  const char* what;
  std::string report;
  std::string output;
  std::string err;
};

void check(const std::vector<RecordCase>& cases) {
  for (const RecordCase& c : cases) {
    std::string err;
    EXPECT_EQ(test::expand(templates, c.report, &err), c.output) << c.what;
    EXPECT_EQ(err, c.err) << c.what;
  }
}

TEST(SongRecords, FillTheSlotsAndWriteTheTitle) {
  check({
      {"one record", record("Hymn", "x\nline\n"), "<Easter|Hymn|Author|c line|LBL|42|[line]>(after: Easter|Hymn)",
       "Hymn\n"},
      {"a strange first heading", record("Hymn", "x\nl\n", "A\nc\nN\n", "Schedule\nfor E.sch\n"),
       "<E|Hymn|A|c|LBL|N|[l]>(after: E|Hymn)",
       "Warning: this doesn't look like Schedule output.\nHymn\n"},
      {"a damaged second heading", record("Hymn", "x\nl\n", "A\nc\nN\n", "Schedule Detail\nfro Easter.sch\n"),
       "<Easter|Hymn|A|c|LBL|N|[l]>(after: Easter|Hymn)", "Warning: this output looks damaged.\nHymn\n"},
      {"margins are dropped",
       "     Schedule Detail\n  for Easter.sch\n   Hymn\n x\n   l\n" + marker + "  A\n c\n    N\n",
       "<Easter|Hymn|A|c|LBL|N|[l]>(after: Easter|Hymn)", "Hymn\n"},
      {"trailing spaces leave the A line", record("Hymn", "x\nl\n", "Author  \nc\nN\n"),
       "<Easter|Hymn|Author|c|LBL|N|[l]>(after: Easter|Hymn)", "Hymn\n"},
      {"a c line that begins with a space has no label", record("Hymn", "x\nl\n", "A\n      (c) 1900\nN\n"),
       "<Easter|Hymn|A| (c) 1900||N|[l]>(after: Easter|Hymn)", "Hymn\n"},
      {"an empty c line has the label", record("Hymn", "x\nl\n", "A\n\nN\n"),
       "<Easter|Hymn|A||LBL|N|[l]>(after: Easter|Hymn)", "Hymn\n"},
      {"an empty line inside the lyrics stays", record("Hymn", "x\na\n\nb\n"),
       "<Easter|Hymn|Author|c line|LBL|42|[a//b]>(after: Easter|Hymn)", "Hymn\n"},
      {"a name with blanks and further dots",
       record("Hymn", "x\nl\n", "A\nc\nN\n", "Schedule Detail\nfor Easter Day.v2.sch\n"),
       "<Easter Day|Hymn|A|c|LBL|N|[l]>(after: Easter Day|Hymn)", "Hymn\n"},
      {"a name without a dot", record("Hymn", "x\nl\n", "A\nc\nN\n", "Schedule Detail\nfor Easter\n"),
       "<Easter|Hymn|A|c|LBL|N|[l]>(after: Easter|Hymn)", "Hymn\n"},
      {"a second line shorter than five characters",
       record("Hymn", "x\nl\n", "A\nc\nN\n", "Schedule Detail\nfor\n"),
       "<|Hymn|A|c|LBL|N|[l]>(after: |Hymn)", "Warning: this output looks damaged.\nHymn\n"},
      {"several records", record("One", "x\na\n") + record("Two", "x\nb\n"),
       "<Easter|One|Author|c line|LBL|42|[a]><Easter|Two|Author|c line|LBL|42|[b]>(after: Easter|Two)",
       "One\nTwo\n"},
      {"only the byte-order mark", "", "(after: |)", ""},
      {"a line end right after the byte-order mark", "\n" + record("Hymn", "x\nl\n"), "(after: |)", ""},
  });
}

TEST(SongRecords, SomeArePassedOver) {
  check({
      {"a slide show", record("Slides.ppt", "x\nl\n"), "(after: Easter|Slides.ppt)", "Slides.ppt\n"},
      {"a newer slide show", record("Slides.pptx", "x\nl\n"), "(after: Easter|Slides.pptx)", "Slides.pptx\n"},
      {"the same letters in capitals", record("Slides.PPT", "x\nl\n"),
       "<Easter|Slides.PPT|Author|c line|LBL|42|[l]>(after: Easter|Slides.PPT)", "Slides.PPT\n"},
      {"a first lyrics line that repeats the title", record("Hymn", "Hymn\nl\n"), "(after: Easter|Hymn)",
       "Hymn\n"},
      {"empty lyrics", record("Hymn", "", "Me\nc\n7\n"), "(after: Easter|Hymn)", "Hymn\n"},
      {"a passed-over record between two others",
       record("One", "x\na\n") + record("S.ppt", "x\nb\n") + record("Two", "x\nc\n"),
       "<Easter|One|Author|c line|LBL|42|[a]><Easter|Two|Author|c line|LBL|42|[c]>(after: Easter|Two)",
       "One\nS.ppt\nTwo\n"},
  });
}

TEST(SongRecords, AnEmptyTitleEndsTheSongLoopAfterItsRecord) {
  std::string report = record("One", "x\na\n") + record("", "x\nb\n", "Me\nc\n7\n") + record("Two", "x\nc\n");
  std::string err;
  std::string output = test::expand("%Schedule\n%C|%A|%C\n%\\\n%Song\n(%T)\n%\\\n", report, &err);
  // The second loop reads on after the record with the empty title.
  EXPECT_EQ(output, "(One)|Me|(Two)");
  EXPECT_EQ(err, "One\n\nTwo\n");
}

TEST(SongRecords, ASecondSongLoopFindsTheReportExhausted) {
  std::string err;
  EXPECT_EQ(test::expand("%Schedule\n%C|%C\n%\\\n%Song\n(%T)\n%\\\n", record("One", "x\na\n"), &err), "(One)|");
  EXPECT_EQ(err, "One\n");
}

TEST(SongRecords, ACutOffReportKeepsWhatWasRead) {
  const std::string cut = "Warning: the report ends inside a song record.\n";
  const std::string full = record("Two", "x\nb\n", "A\nc\nN\n");
  const std::string first = record("One", "x\na\n", "A\nc\nN\n");
  const std::string one = "<Easter|One|A|c|LBL|N|[a]>";
  struct Cut {
    size_t keep;  // bytes of the second record left in the report
    std::string output;
    std::string err;
  };
  const std::vector<Cut> cuts = {
      {0, one + "(after: Easter|One)", ""},
      {8, one + "(after: |)", "Warning: this doesn't look like Schedule output.\n"
                              "Warning: this output looks damaged.\n\n" + cut},
      {31, one + "(after: Easter|)", "\n" + cut},
      {35, one + "(after: Easter|Two)", "Two\n" + cut},
      {37, one + "<Easter|Two|||LBL||>(after: Easter|Two)", "Two\n" + cut},
      {39, one + "<Easter|Two|||LBL||[b]>(after: Easter|Two)", "Two\n" + cut},
      {40, one + "<Easter|Two|||LBL||[b]>(after: Easter|Two)", "Two\n" + cut},
      {46, one + "<Easter|Two|||LBL||[b]>(after: Easter|Two)", "Two\n"},
      {48, one + "<Easter|Two|A||LBL||[b]>(after: Easter|Two)", "Two\n"},
      {50, one + "<Easter|Two|A|c|LBL||[b]>(after: Easter|Two)", "Two\n"},
      {51, one + "<Easter|Two|A|c|LBL|N|[b]>(after: Easter|Two)", "Two\n"},
      {full.size(), one + "<Easter|Two|A|c|LBL|N|[b]>(after: Easter|Two)", "Two\n"},
  };
  ASSERT_EQ(full.substr(0, 35), "Schedule Detail\nfor Easter.sch\nTwo\n");
  ASSERT_EQ(full.substr(35, 11), "x\nb\n      \n");
  for (const Cut& c : cuts) {
    std::string err;
    EXPECT_EQ(test::expand(templates, first + full.substr(0, c.keep), &err), c.output) << c.keep;
    EXPECT_EQ(err, "One\n" + c.err) << c.keep;
  }
}

// A report of `records` records of every kind the reader meets, made from
// `seed`: tag lines, margins, form feeds, zeros, carriage returns, slide
// shows, titles repeated as the first lyrics line, empty lines where a
// record begins, lyrics of `line_length` characters a line.
std::string varied_report(uint32_t seed, int records, size_t line_length) {
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 8) % bound;
  };
  const std::vector<std::string> lines = {
      "Verse 1", "Chorus", "  Tag (x2)", "End", "Bridge 2b", "Slide", "Sing %T and %z",
      "J\xC3\xA9sus \xE2\x80\x99tis", "    with a margin", "a\fform feed", std::string("zero\0cut", 8),
      "carriage\r\nreturn", "", "Intro"};
  std::string report;
  for (int r = 0; r < records; ++r) {
    if (next(40) == 0) report += "\n";  // the song loop ends here; a second one goes on
    std::string margin(next(4) == 0 ? 3 : 0, ' ');
    std::string title = next(15) == 0 ? "Slides " + std::to_string(r) + ".pptx" : "Song " + std::to_string(r);
    report += margin + "Schedule Detail\n" + margin + "for Day " + std::to_string(r % 7) + ".sch\n";
    report += margin + title + "\n";
    if (next(20) == 0) report += margin + title + "\n";
    for (uint32_t n = next(30); n > 0; --n) {
      std::string line = lines[next(static_cast<uint32_t>(lines.size()))];
      if (next(3) == 0) line += std::string(line_length, static_cast<char>('a' + next(26)));
      report += margin + line + "\n";
    }
    report += "      \n" + margin + "Author " + std::to_string(r) + "  \n";
    report += (next(5) == 0 ? "   (c)\n" : margin + "Public Domain\n") + margin + std::to_string(r) + "\n";
  }
  return report;
}

// Records read ahead by the second thread give what records read as asked
// give, across batches, wherever the report ends.
TEST(SongRecords, ReadingAheadChangesNothing) {
  const std::string reading =
      "%Schedule\n%C=%S|%T=%C=%T\n%\\\n"
      "%Song\n<%S|%T|%A|%c|%L|%N|%s>\n%\\\n"
      "%Stanza\n[%t|%n|%z]\n%\\\n"
      "%Verse\n{%n:%z}\n%\\\n"
      "%Line\n/\n%\\\n"
      "%label\nLBL\n%\\\n";
  struct Case {
    uint32_t seed;
    int records;
    size_t line_length;
    size_t cut;  // bytes cut off the end
  };
  const std::vector<Case> cases = {
      {1, 10, 10, 0},   {2, 300, 20, 0},   {3, 300, 20, 1},  {4, 300, 20, 7},
      {5, 700, 30, 13}, {6, 40, 9000, 0},  {7, 40, 9000, 5000},
  };
  using lyricrtf::StanzaSharing;
  for (const Case& c : cases) {
    std::string report = varied_report(c.seed, c.records, c.line_length);
    report.resize(report.size() - c.cut);
    std::string err_asked;
    std::string asked = test::expand(reading, report, &err_asked, true);
    ASSERT_GT(asked.size(), 0u);
    // Whichever thread cuts the stanzas.
    for (StanzaSharing sharing :
         {StanzaSharing::adaptive, StanzaSharing::reader_cuts, StanzaSharing::loop_cuts}) {
      lyricrtf::stanza_sharing = sharing;
      std::string err_ahead;
      std::string ahead = test::expand(reading, report, &err_ahead);
      EXPECT_EQ(ahead, asked) << c.seed << " sharing " << static_cast<int>(sharing);
      EXPECT_EQ(err_ahead, err_asked) << c.seed << " sharing " << static_cast<int>(sharing);
    }
    lyricrtf::stanza_sharing = StanzaSharing::adaptive;
  }
}

// The record and stanza slots keep their texts after their loops and into
// the next song, while the batches that held those texts are read again.
TEST(SongRecords, SlotsKeepTheirTextsWhenTheirBatchesAreReadAgain) {
  const std::string templates =
      "%Schedule\n%C(%T|%A|%z|%t|%n)\n%\\\n"
      "%Song\n<%T:%z|%n>%s\n%\\\n"
      "%Verse\n[%n %z]\n%\\\n";
  std::string report, expected, z, n, title, author;
  for (int r = 0; r < 600; ++r) {
    const std::string line = "line " + std::to_string(r), number = std::to_string(r % 7);
    title = "Song " + std::to_string(r);
    author = "Author " + std::to_string(r);
    if (r % 5 == 4) {
      // A slide show: its fields are kept, and it has no stanzas.
      title += ".pptx";
      report += record(title, "Verse 9\nslide\n", author + "\nc\n1\n");
      continue;
    }
    report += record(title, "Verse " + number + "\n" + line + "\n", author + "\nc\n1\n");
    expected += "<" + title + ":" + z + "|" + n + ">";
    z = line;
    n = number;
    expected += "[" + n + " " + z + "]";
  }
  expected += "(" + title + "|" + author + "|" + z + "|Verse|" + n + ")";
  EXPECT_EQ(test::expand(templates, report, nullptr, true), expected);
  using lyricrtf::StanzaSharing;
  for (StanzaSharing sharing : {StanzaSharing::adaptive, StanzaSharing::reader_cuts, StanzaSharing::loop_cuts}) {
    lyricrtf::stanza_sharing = sharing;
    EXPECT_EQ(test::expand(templates, report), expected) << static_cast<int>(sharing);
  }
  lyricrtf::stanza_sharing = StanzaSharing::adaptive;
}

TEST(SongRecords, TitlesReachTheConsoleAsUtf8OnPosix) {
  EXPECT_EQ(lyricrtf::console_text("Caf\xE9 \x92" "A", true), "Caf\xC3\xA9 \xE2\x80\x99" "A");
  EXPECT_EQ(lyricrtf::console_text("\x80\xFE", true), "\xC2\x80\xC3\xBE");
  EXPECT_EQ(lyricrtf::console_text("Caf\xE9 \x92", false), "Caf\xE9 \x92");
  // An 8-bit code anywhere in the title, which is looked at in words.
  for (size_t at = 0; at < 20; ++at) {
    std::string title(20, 'a'), shown(20, 'a');
    title[at] = '\xE9';
    shown.replace(at, 1, "\xC3\xA9");
    EXPECT_EQ(lyricrtf::console_text(title, true), shown) << at;
  }

  std::string err;
  std::string output = test::expand("%Schedule\n%C%T\n%\\\n", record("Caf\xC3\xA9 \xE2\x80\x99s", "x\nl\n"), &err);
  EXPECT_EQ(output, "Caf\xE9 \x92s");  // the slot keeps the 8-bit codes
  EXPECT_EQ(err, "Caf\xC3\xA9 \xE2\x80\x99s\n");
}

TEST(SongRecords, ATitleThatNamesItselfIsLeftOut) {
  std::string err;
  std::string title;
  for (int i = 0; i < 10000; ++i) title += "%T";
  std::string output = test::expand("%Schedule\n%C\n%\\\n%Song\n<%T>\n%\\\n", record(title, "x\nl\n"), &err);
  EXPECT_EQ(output, "<>");
  EXPECT_EQ(err, title + "\nWarning: %T refers back to itself and is left out.\n");
}

}  // namespace
