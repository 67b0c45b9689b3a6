// The sample schedule converted with the default template, checked by our
// own well-formedness check and by real RTF readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rtf_check.h"
#include "support.h"

namespace {

struct ProblemCase {
  std::string rtf;
  bool good;
};

TEST(RtfCheck, TellsWellFormedDocumentsFromBrokenOnes) {
  const std::vector<ProblemCase> cases = {
      {"{\\rtf1 text}", true},
      {"{\\rtf1\\ansi{\\b bold}\\par\n\\fs-24 x\\'e9\\{\\}\\\\\\line\n}", true},
      {"{\\rtf1\\\n}", true},
      {"{\\rtf1 open", false},
      {"{\\rtf1 x}}", false},
      {"{\\rtf1 x} after", false},
      {"{\\rtf1 \\'e}", false},
      {"{\\rtf1 \\#}", false},
      {"{\\rtf1 \\fs12345678901}", false},
      {"{\\rtf2 x}", false},
      {"{\\rtf1 x\\}", false},
  };
  for (const ProblemCase& c : cases) EXPECT_EQ(test::rtf_problem(c.rtf).empty(), c.good) << c.rtf;
}

// The titles and lyrics lines of the sample, in order, as UTF-8: what a
// reader of the document must find. Tag lines are left out (they show as
// labels), and so are passed-over records.
std::vector<std::string> sample_lines(const std::string& report) {
  std::vector<std::string> lines;
  size_t pos = test::bom.size();
  while (pos < report.size()) {
    size_t end = report.find('\n', pos);
    std::string line = report.substr(pos, end - pos);
    size_t margin = 0;
    while (margin < 5 && margin < line.size() && line[margin] == ' ') ++margin;
    lines.push_back(line.substr(margin));
    pos = end + 1;
  }
  std::vector<std::string> expected;
  const std::vector<std::string> tag_words = {"Verse", "Chorus", "Bridge", "Intro", "End", "Slide", "Tag"};
  for (size_t i = 0; i + 2 < lines.size();) {
    const std::string& title = lines[i + 2];
    bool slides = title.size() > 4 && (title.rfind(".ppt") == title.size() - 4 || title.rfind(".pptx") == title.size() - 5);
    size_t j = i + 3;
    if (!slides) expected.push_back(title);
    for (; lines[j] != " "; ++j) {
      bool tag = false;
      for (const std::string& word : tag_words) tag = tag || lines[j].rfind(word, 0) == 0;
      if (!slides && !tag) expected.push_back(lines[j]);
    }
    i = j + 4;  // the end marker, then the author, copyright and number lines
  }
  return expected;
}

// The lines of `text`, blanks trimmed at both ends, empty lines left out.
std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos) lines.push_back(line.substr(first, line.find_last_not_of(" \t\r") - first + 1));
    pos = end + 1;
  }
  return lines;
}

// Whether `wanted` appears in `lines` in order; reports the first missing.
void expect_in_order(const std::vector<std::string>& wanted, const std::vector<std::string>& lines,
                     const std::string& reader) {
  size_t at = 0;
  for (const std::string& line : wanted) {
    while (at < lines.size() && lines[at] != line) ++at;
    ASSERT_LT(at, lines.size()) << reader << " lost or reordered: " << line;
    ++at;
  }
}

std::string command_output(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

class SampleDocument : public testing::Test {
 protected:
  void SetUp() override {
    report_ = test::read_file(test::sample());
    test::write_file(dir_.path("sunday.txt"), report_);
    // The program finds its default template file beside itself.
    test::Run run = test::run_program({"sunday.txt"}, dir_.root());
    ASSERT_EQ(run.code, 0) << run.err;
    rtf_ = test::read_file(dir_.path("sunday.rtf"));
  }

  test::TempDir dir_;
  std::string report_;
  std::string rtf_;
};

TEST_F(SampleDocument, IsWellFormedRtf) {
  EXPECT_EQ(test::rtf_problem(rtf_), "");
  EXPECT_NE(rtf_.find("\\ansicpg1252"), std::string::npos);
  // The report's right single quote arrives as its Windows-1252 code.
  EXPECT_NE(rtf_.find("\x92Twas grace"), std::string::npos);
}

TEST_F(SampleDocument, ReadsCompletelyInAWordProcessor) {
  if (std::string(LYRICRTF_SOFFICE).empty()) GTEST_SKIP() << "no LibreOffice on this machine";
  std::string command = std::string(LYRICRTF_SOFFICE) +
                        " -env:UserInstallation=file://" + dir_.path("profile") +
                        " --headless --convert-to 'txt:Text (encoded):UTF8' --outdir " + dir_.path("text") + " " +
                        dir_.path("sunday.rtf") + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string text = test::read_file(dir_.path("text/sunday.txt"));
  if (text.rfind(test::bom, 0) == 0) text.erase(0, test::bom.size());
  expect_in_order(sample_lines(report_), text_lines(text), "LibreOffice");
}

TEST_F(SampleDocument, ReadsInUnrtfInOrder) {
  if (std::string(LYRICRTF_UNRTF).empty()) GTEST_SKIP() << "no unrtf on this machine";
  std::string text = command_output(std::string(LYRICRTF_UNRTF) + " --text " + dir_.path("sunday.rtf") + " 2>/dev/null");
  // unrtf passes over raw 8-bit characters, which the word processor shows
  // through \ansicpg1252; its text is compared without them.
  std::vector<std::string> wanted = sample_lines(report_);
  for (std::string& line : wanted) {
    std::string ascii;
    for (char c : line)
      if (static_cast<unsigned char>(c) < 0x80) ascii.push_back(c);
    line = ascii;
  }
  expect_in_order(wanted, text_lines(text), "unrtf");
}

}  // namespace
