#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "report/reader.h"
#include "support.h"

namespace {

using namespace std::string_literals;

// Every character ugetc delivers for `bytes`, up to the end of file.
std::vector<int> decode(const std::string& bytes) {
  FILE* f = test::input_stream(bytes);
  lyricrtf::Report in(f);
  std::vector<int> codes;
  for (int c = lyricrtf::ugetc(in); c != EOF; c = lyricrtf::ugetc(in)) codes.push_back(c);
  EXPECT_EQ(lyricrtf::ugetc(in), EOF);
  std::fclose(f);
  return codes;
}

// Every line get_line delivers for `bytes` before the end of the report.
std::vector<std::string> lines(const std::string& bytes) {
  FILE* f = test::input_stream(bytes);
  lyricrtf::Report in(f);
  std::vector<std::string> result;
  std::string line;
  while (lyricrtf::get_line(in, line)) result.push_back(line);
  EXPECT_EQ(line, "");
  EXPECT_FALSE(lyricrtf::get_line(in, line)) << "the end of file stays the end";
  std::fclose(f);
  return result;
}

struct DecodeCase {
  const char* what;
  std::string bytes;
  std::vector<int> codes;
};

TEST(Decoder, MapsCharactersToEightBitCodes) {
  const std::vector<DecodeCase> cases = {
      {"ASCII", "Az~", {'A', 'z', '~'}},
      {"the byte-order mark", "\xEF\xBB\xBF", {254}},
      {"U+00FE reads like the byte-order mark", "\xC3\xBE", {254}},
      {"U+00E9", "\xC3\xA9", {233}},
      {"U+00FF is out of range", "\xC3\xBF", {35}},
      {"U+2019 is the cp1252 quote", "\xE2\x80\x99", {146}},
      {"U+2028 is a line feed", "\xE2\x80\xA8", {10}},
      {"U+2029 is a zero", "\xE2\x80\xA9", {0}},
      {"U+0905 is one '#'", "\xE0\xA4\x85", {35}},
      {"U+1F600 is one '#'", "\xF0\x9F\x98\x80", {35}},
      {"a stray continuation byte stands for itself", "\x80\xBF", {0x80, 0xBF}},
      {"an overlong zero", "\xC0\x80", {0}},
      {"CR LF is LF", "a\r\nb", {'a', '\n', 'b'}},
      {"CR CR LF keeps one CR", "\r\r\n", {13, '\n'}},
      {"a lone CR between letters is dropped", "a\rb", {'a', 'b'}},
      {"a CR before a lead byte is dropped", "\r\xC3\xA9", {233}},
      {"bytes after a lead byte are not checked", "\xC3" "A", {193}},
      {"a lead byte takes a line feed with it", "\xC3\nx", {0xCA, 'x'}},
      {"an end of file inside a character adds ones", "\xC3", {35}},
      {"a four-byte lead at the end of file", "\xF0", {35}},
      {"a zero byte", "a\0b"s, {'a', 0, 'b'}},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(decode(c.bytes), c.codes) << c.what;
}

TEST(Decoder, EveryTwoByteCharacterBelowU00FFKeepsItsCode) {
  for (int code = 0x80; code < 0xFF; ++code) {
    std::string bytes = {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
    EXPECT_EQ(decode(bytes), std::vector<int>{code}) << code;
  }
}

TEST(Decoder, CharactersAcrossBlockBoundariesStayWhole) {
  // 'x' pads the first block so that each multi-byte character in turn
  // straddles the boundary of the reader's 64 KiB blocks.
  for (size_t pad = 65533; pad <= 65536; ++pad) {
    std::string bytes = std::string(pad, 'x') + "\xE2\x80\x99\xC3\xA9";
    std::vector<int> codes = decode(bytes);
    ASSERT_EQ(codes.size(), pad + 2);
    EXPECT_EQ(codes[pad], 146);
    EXPECT_EQ(codes[pad + 1], 233);
  }
}

TEST(Decoder, CarriageReturnsAcrossBlockBoundariesAreDroppedOnce) {
  for (size_t pad = 65532; pad <= 65536; ++pad) {
    std::string bytes = std::string(pad, 'x') + "\r\r\xC3\xA9\r\n\r";
    std::vector<int> codes = decode(bytes);
    ASSERT_EQ(codes.size(), pad + 3) << pad;
    EXPECT_EQ(codes[pad], 13) << pad;
    EXPECT_EQ(codes[pad + 1], 233) << pad;
    EXPECT_EQ(codes[pad + 2], '\n') << pad;
  }
}

struct LineCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(LineReader, CutsLinesAndDropsTheMargin) {
  const std::vector<LineCase> cases = {
      {"LF line ends", "ab\ncd\n", {"ab", "cd"}},
      {"CR LF line ends", "ab\r\ncd\r\n", {"ab", "cd"}},
      {"CR CR LF keeps a CR", "ab\r\r\n", {"ab\r"}},
      {"a form feed ends a line", "ab\fcd\n", {"ab", "cd"}},
      {"U+2028 ends a line", "ab\xE2\x80\xA8" "cd\n", {"ab", "cd"}},
      {"an empty line", "\nx\n", {"", "x"}},
      {"one to five spaces read empty", " \n  \n     \nx\n", {"", "", "", "x"}},
      {"six spaces read as one", "      \n", {" "}},
      {"seven spaces read as two", "       \n", {"  "}},
      {"three spaces of margin", "   abc\n", {"abc"}},
      {"a tab is no margin", "\tabc\n", {"\tabc"}},
      {"spaces inside a line stay", "a  b  \n", {"a  b  "}},
      {"a cut-off last line keeps its last character", "ab\ncd", {"ab", "cd"}},
      {"a last line of spaces before the end of file", "ab\n   ", {"ab"}},
      {"six spaces before the end of file", "ab\n      ", {"ab", " "}},
      {"accented letters", "caf\xC3\xA9 \xE2\x80\x99" "x\n", {"caf\xE9 \x92x"}},
      {"a zero ends the text, not the line", "ab\0cd\nef\n"s, {"ab", "ef"}},
      {"U+2029 ends the text, not the line", "ab\xE2\x80\xA9" "cd\nef\n", {"ab", "ef"}},
      {"stray bytes pass", "a\x80\xBF" "b\n", {"a\x80\xBF" "b"}},
      {"nothing at all", "", {}},
  };
  for (const LineCase& c : cases) EXPECT_EQ(lines(c.bytes), c.lines) << c.what;
}

TEST(LineReader, ReadsLinesLongerThanABlock) {
  std::string longest(200000, 'a');
  for (size_t i = 0; i < longest.size(); i += 7) longest[i] = 'b';
  EXPECT_EQ(lines(longest + "\n" + longest), (std::vector<std::string>{longest, longest}));
}

TEST(LineReader, FastAndSlowPathsAgreeOnEveryByteValue) {
  // Each byte value at every position of an eight-byte word, where the
  // reader looks at eight bytes at a time.
  for (int b = 0; b < 256; ++b) {
    for (size_t at = 0; at < 9; ++at) {
      std::string bytes = std::string(at, 'a') + static_cast<char>(b) + "zzzzzzzzzzzzzzzzz\n";
      std::vector<int> codes = decode(bytes);
      std::string expected;
      bool cut = false;
      size_t margin = 0;
      while (margin < codes.size() && margin < 5 && codes[margin] == ' ') ++margin;
      codes.erase(codes.begin(), codes.begin() + static_cast<long>(margin));
      for (int c : codes) {
        if (c == '\n' || c == '\f') break;
        if (c == 0) cut = true;
        if (!cut) expected.push_back(static_cast<char>(c));
      }
      std::vector<std::string> got = lines(bytes);
      ASSERT_FALSE(got.empty()) << b << " at " << at;
      EXPECT_EQ(got[0], expected) << b << " at " << at;
    }
  }
}

}  // namespace

namespace {

// Lines read in bulk where they need no care, else one by one, and lines
// shown where the decoded block holds them, against lines read one by one
// only: all must give the same lines.
TEST(LineReader, BulkLinesMatchLineByLine) {
  const std::vector<std::string> pieces = {"word ", "Line", "\n", "\n", " ", "      ", "\f", std::string(1, '\0'),
                                           "\xC3\xA9", "\r\n", std::string(70, 'x'), "\xE2\x80\xA8"};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 8) % bound;
  };
  for (int round = 0; round < 120; ++round) {
    std::string bytes;
    size_t length = 50 + next(400000);
    while (bytes.size() < length) bytes += pieces[next(static_cast<uint32_t>(pieces.size()))];

    FILE* f1 = test::input_stream(bytes);
    lyricrtf::Report bulk(f1);
    std::string by_bulk;
    for (;;) {
      if (lyricrtf::append_lines(bulk, by_bulk, " ")) {
        by_bulk += " \n";  // the stop line, consumed but not appended
        continue;
      }
      size_t start = by_bulk.size();
      std::string_view line;
      if (!lyricrtf::append_line(bulk, by_bulk, line)) break;
      ASSERT_EQ(line, std::string_view(by_bulk).substr(start)) << "round " << round;
      by_bulk.push_back('\n');
    }
    std::fclose(f1);

    FILE* f2 = test::input_stream(bytes);
    lyricrtf::Report single(f2);
    std::string by_line, line;
    while (lyricrtf::get_line(single, line)) by_line += line + "\n";
    std::fclose(f2);

    ASSERT_EQ(by_bulk, by_line) << "round " << round;

    FILE* f3 = test::input_stream(bytes);
    lyricrtf::Report shown(f3);
    std::string by_view, spill;
    std::string_view view;
    while (lyricrtf::next_line(shown, spill, view)) by_view.append(view).push_back('\n');
    std::fclose(f3);
    ASSERT_EQ(by_view, by_line) << "round " << round;
  }
}

}  // namespace

#include "template/scan.h"

namespace {

TEST(ByteSearch, FindsEveryMatch) {
  // Runs of matches longer than four in 64 bytes, pieces of 4096 bytes,
  // and short tails.
  uint32_t seed = 99;
  for (size_t n : {0, 1, 15, 63, 64, 65, 200, 4095, 4096, 4097, 9000}) {
    for (int density : {1, 3, 50}) {
      std::string text(n, 'x');
      std::vector<size_t> expected;
      for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245 + 12345;
        if ((seed >> 8) % 100 < static_cast<uint32_t>(density)) {
          text[i] = '\n';
          expected.push_back(i);
        }
      }
      std::vector<size_t> found = {7};  // what was there stays
      lyricrtf::find_every_byte(text.data(), n, '\n', found);
      expected.insert(expected.begin(), 7);
      EXPECT_EQ(found, expected) << n << " " << density;
    }
  }
}

TEST(ByteSearch, FindsTheFirstMatchAtEveryLengthAndPosition) {
  // Fillers one bit away from the wanted byte catch a search that is
  // misled by its neighbours.
  for (char wanted : {'%', '\0', '\n', '\xFF'}) {
    for (char filler : {'a', static_cast<char>(wanted ^ 1), static_cast<char>(wanted ^ 0x80),
                        static_cast<char>(wanted ^ 0x81)}) {
      for (size_t n = 0; n <= 50; ++n) {
        for (size_t at = 0; at <= n; ++at) {
          std::string text(n, filler);
          if (at < n) text[at] = wanted;
          if (at + 3 < n) text[at + 3] = wanted;  // a later one must not be found first
          ASSERT_EQ(lyricrtf::find_byte(text.data(), n, wanted), at)
              << n << " " << at << " " << int(wanted) << " " << int(filler);
        }
      }
    }
  }
}

}  // namespace
