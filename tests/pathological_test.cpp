// Inputs of extreme shape. Each test checks what the program made of them;
// none may crash, hang, read outside memory or lose the records before the
// damage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

const std::string marker = "      \n";

std::string record(const std::string& title, const std::string& lyrics) {
  return "Schedule Detail\nfor Big.sch\n" + title + "\n" + lyrics + marker + "A\nc\nN\n";
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Runs the program on `templates` and `report` (after its byte-order mark).
test::Run convert(const test::TempDir& dir, const std::string& templates, const std::string& report,
                  std::string& output) {
  test::write_file(dir.path("t.dat"), templates);
  test::write_file(dir.path("r.txt"), std::string(test::bom) + report);
  test::Run run = test::run_program({"-c", "t.dat", "-o", "out.rtf", "r.txt"}, dir.root());
  output = test::read_file(dir.path("out.rtf"));
  return run;
}

TEST(Pathological, ALyricsLineOf20Megabytes) {
  test::TempDir dir;
  std::string line(20 * 1000 * 1000, 'x');
  for (size_t i = 0; i < line.size(); i += 1000) line[i] = 'y';
  std::string output;
  test::Run run = convert(dir, "%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Verse\n[%z]\n%\\\n",
                          record("Long", "Verse 1\n" + line + "\n"), output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "Long\n");
  EXPECT_TRUE(output == "[" + line + "]");
}

TEST(Pathological, OneSongWith100000Stanzas) {
  test::TempDir dir;
  std::string lyrics;
  for (int i = 0; i < 100000; ++i) lyrics += "Verse " + std::to_string(i) + "\nline\n";
  std::string output;
  test::Run run = convert(dir, "%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Verse\n%n;\n%\\\n",
                          record("Many", lyrics), output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(count(output, ";"), 100000u);
  EXPECT_EQ(output.substr(0, 4), "0;1;");
  EXPECT_EQ(output.substr(output.size() - 6), "99999;");
}

TEST(Pathological, A100000Records) {
  test::TempDir dir;
  std::string report;
  for (int i = 0; i < 100000; ++i) report += record("T" + std::to_string(i), "Verse 1\nl\n");
  std::string output;
  test::Run run = convert(dir, "%Schedule\n%C\n%\\\n%Song\n%T.\n%\\\n", report, output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(count(output, "."), 100000u);
  EXPECT_EQ(count(run.err, "\n"), 100000u);
  EXPECT_EQ(output.substr(output.size() - 7), "T99999.");
}

TEST(Pathological, LyricsOf10Megabytes) {
  test::TempDir dir;
  std::string lyrics = "Verse 1\n";
  while (lyrics.size() < 10 * 1000 * 1000) lyrics += "a line of words sung to the tune\n";
  std::string output;
  test::Run run = convert(dir, "%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Line\n/\n%\\\n%Verse\n%z\n%\\\n",
                          record("Long", lyrics), output);
  EXPECT_EQ(run.code, 0);
  size_t lines = count(lyrics, "\n") - 1;
  EXPECT_EQ(count(output, "/"), lines - 1);
  EXPECT_EQ(output.size(), lyrics.size() - 8 - 1);
}

TEST(Pathological, ATitleOf10000SelfReferences) {
  test::TempDir dir;
  std::string title;
  for (int i = 0; i < 10000; ++i) title += "%T";
  std::string output;
  test::Run run = convert(dir, "%Schedule\n%C|%T|\n%\\\n%Song\n<%T>\n%\\\n", record(title, "Verse 1\nl\n"), output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(output, "<>||");
  EXPECT_EQ(run.err, title + "\nWarning: %T refers back to itself and is left out.\n");
}

TEST(Pathological, AChainOf60Slots) {
  test::TempDir dir;
  // The tag templates, Song and Line, then the slots named by a character
  // but C and s (which start the loops), S (the driver writes it) and the
  // backslash ("%\\" at a line start ends a definition): each names the
  // next, the last holds the text.
  std::vector<std::pair<std::string, char>> chain = {
      {"Verse", '1'}, {"Chorus", '2'}, {"Bridge", '3'}, {"Intro", '4'}, {"End", '5'},
      {"Slide", '6'}, {"Tag", '7'},    {"Song", ';'},   {"Line", '<'}};
  for (char c = 'A'; chain.size() < 60; ++c)
    if (c != 'C' && c != 's' && c != 'S' && c != '\\') chain.push_back({std::string(1, c), c});
  std::string templates = "%Schedule\n[%1]\n%\\\n";
  for (size_t i = 0; i < chain.size(); ++i) {
    std::string body = i + 1 < chain.size() ? std::string("%") + chain[i + 1].second : "end";
    templates += "%" + chain[i].first + "\n" + body + "\n%\\\n";
  }
  std::string output;
  test::Run run = convert(dir, templates, "", output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(output, "[end]");
}

TEST(Pathological, ATemplateLineOfAMegabyteOfPercents) {
  test::TempDir dir;
  std::string output;
  test::Run run = convert(dir, "%Schedule\n" + std::string(1000000, '%') + "\n%\\\n", "", output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(output, std::string(500000, '%'));
}

TEST(Pathological, EveryByteValueInTemplateAndReport) {
  test::TempDir dir;
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != '%' && b != '\r') all.push_back(static_cast<char>(b));
  std::string output;
  // The template's bytes pass unchanged, up to a zero byte.
  test::Run run = convert(dir, "%Schedule\n" + all + "\n%\\\n", "", output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(output, all);
  run = convert(dir, "%Schedule\n" + all + std::string(1, '\0') + "after\n%\\\n", "", output);
  EXPECT_EQ(output, all);

  // Every byte value in a report's lyrics, after a sound record.
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  run = convert(dir, "%Schedule\n%C\n%\\\n%Song\n<%T>%s\n%\\\n%Stanza\n[%z]\n%\\\n",
                record("Sound", "Verse 1\nok\n") + record("Bytes", "x\n" + bytes + bytes + "\n"), output);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(output.substr(0, 13), "<Sound>[ok]<B");
  EXPECT_EQ(run.err.substr(0, 12), "Sound\nBytes\n");
}

TEST(Pathological, CarriageReturnsEverywhere) {
  test::TempDir dir;
  const std::string templates = "%Schedule\n%C\n%\\\n%Song\n<%T|%A>%s\n%\\\n%Verse\n[%z]\n%\\\n";
  const std::string report = record("Hymn", "Verse 1\na\nb\n");
  std::string expected;
  ASSERT_EQ(convert(dir, templates, report, expected).code, 0);
  ASSERT_EQ(expected, "<Hymn|A>[a\\line\nb]");

  auto replace_all = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
    return text;
  };
  std::string output;
  // CR LF reads as LF, in both files.
  convert(dir, replace_all(templates, "\n", "\r\n"), replace_all(report, "\n", "\r\n"), output);
  EXPECT_EQ(output, expected);
  // A lone CR inside a line is dropped.
  convert(dir, replace_all(templates, "<", "<\r"), replace_all(report, "Hymn", "Hy\rmn"), output);
  EXPECT_EQ(output, expected);
  // Of CR CR the second stays, a character of the text.
  convert(dir, templates, replace_all(report, "a\n", "a\r\r\n"), output);
  EXPECT_EQ(output, "<Hymn|A>[a\r\\line\nb]");
  convert(dir, replace_all(templates, "<%T", "<\r\r%T"), report, output);
  EXPECT_EQ(output, "<\rHymn|A>[a\\line\nb]");
  // CRs alone as line ends join the lines.
  test::Run run = convert(dir, templates, replace_all(report, "\n", "\r"), output);
  EXPECT_EQ(run.code, 0);
}

TEST(Pathological, AReportCutOffAfterEveryByte) {
  const std::string templates = "%Schedule\n%C\n%\\\n%Song\n<%T|%A|%c|%N>%s\n%\\\n%Stanza\n[%t%n:%z]\n%\\\n";
  const std::string first = record("One", "Verse 1\na\n");
  const std::string second =
      "  Schedule Detail\nfor Big.sch\nTw\xC3\xB6\nChorus 2\nb \xE2\x80\x99" "c\n\nTag (x2)\nd\n" + marker +
      "Me  \n      (c)\n9\n";
  const std::string kept = "<One|A|c|N>[Verse1:a]";
  for (size_t cut = 0; cut <= second.size(); ++cut) {
    std::string err;
    std::string output = test::expand(templates, first + second.substr(0, cut), &err);
    ASSERT_EQ(output.substr(0, kept.size()), kept) << "cut after " << cut;
    ASSERT_EQ(err.substr(0, 4), "One\n") << "cut after " << cut;
  }
}

}  // namespace
