// The rules that golden cases show poorly: the bytes each format writes
// otherwise, reports saved otherwise, the Windows code page, a failing
// stream, two conversions at once, and inputs too large for a case file.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/files.h"
#include "driver/terminal.h"
#include "template/expander.h"
#include "text/characters.h"

namespace {

// A stream that reads `bytes` (fmemopen is not on every platform).
FILE* file_of(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

TEST(Paths, SplitIntoFolderNameAndTheRestAfterTheFirstDot) {
  std::string dir, name, ext;
  lyricrtf::splitpath("C:\\My.Files\\Easter.Sunday.txt", dir, name, ext, '\\');
  EXPECT_EQ(dir + "|" + name + "|" + ext, "C:\\My.Files|Easter|Sunday.txt");
}

// Every character, wherever it stands in a line, is marked by the reader
// exactly when the format's writer writes it otherwise than as it stands:
// the decoder's 32-byte steps and the writer's 64-byte looks agree. (In
// CSV the writer looks at the whole field, so a mark there only says that
// it may.)
TEST(Formats, MarkEveryCharacterWrittenOtherwiseWhereverItStands) {
  using lyricrtf::Format;
  std::vector<char32_t> characters = {0x80, 0xE9, 0xFF, 0x2019, 0xFFFD, 0x1F600};
  for (char32_t c = 1; c < 0x80; ++c)
    if (c != '\n' && c != '\f' && c != '\r') characters.push_back(c);
  for (char32_t byte : {0x00, 0x80, 0xBF, 0xC0, 0xFF}) characters.push_back(0x80000000 | byte);
  for (Format format : {Format::none, Format::rtf, Format::html, Format::text})
    for (char32_t c : characters)
      for (size_t at : {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
        std::string line(at, 'a');  // a stray byte, or a character in UTF-8
        c >> 31 ? line.push_back(static_cast<char>(c)) : lyricrtf::append_utf8(line, c);
        line += std::string(at % 7, 'b') + "\n";
        FILE* f = file_of(line);
        // In blocks of 7 bytes the decoder's bytes are looked up one by one.
        lyricrtf::Report in(f, format, at % 2 ? 7 : lyricrtf::default_block_size);
        lyricrtf::Span span;
        ASSERT_TRUE(lyricrtf::get_line(in, span));
        std::vector<size_t> marks;
        in.marks_in(span, marks);
        const std::string_view text = in.text(span).text();
        EXPECT_TRUE(text.find('\0') == text.npos &&
                    (format == Format::none || lyricrtf::valid_utf8(text) == text));
        std::string written;  // without a format only a '%', which begins a directive
        if (format != Format::none) lyricrtf::append_formatted(written, text, format);
        const bool written_otherwise =
            format == Format::none ? text.find('%') != std::string_view::npos : written != text;
        EXPECT_EQ(marks.size() > 1, written_otherwise)
            << static_cast<int>(format) << " " << c << " at " << at;
        EXPECT_TRUE(!written_otherwise || marks[0] == span.at + at) << c << " at " << at;
        std::fclose(f);
      }
}

// A string of all the bytes of a literal, zeros included.
template <size_t N>
std::string raw(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

TEST(Files, ReportsSavedOtherwiseAreReadAsTheyShouldHaveBeenSaved) {
  // "Aé🎵" in UTF-16, either byte order, with its mark or without; a lone
  // surrogate and half a code are U+FFFD.
  const std::string mark = "\xEF\xBB\xBF", song = mark + "A\xC3\xA9\xF0\x9F\x8E\xB5";
  const std::pair<std::string, std::string> rows[] = {
      {raw("\xFF\xFE\x41\0\xE9\0\x3C\xD8\xB5\xDF"), song},
      {raw("\xFE\xFF\0A\0\xE9\xD8\x3C\xDF\xB5"), song},
      {raw("A\0\xE9\0\x3C\xD8\xB5\xDF"), song},
      {raw("\0A\0\xE9\xD8\x3C\xDF\xB5"), song},
      {raw("\0A\xD8\x3C\0"), mark + "A\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"A\xC3\xA9", mark + "A\xC3\xA9"}};
  std::string saved;
  for (const auto& [bytes, expected] : rows)
    EXPECT_TRUE(lyricrtf::saved_with_mark(bytes, saved) && saved == expected) << expected;
  EXPECT_FALSE(lyricrtf::saved_with_mark("\xFF\xFF\xFF", saved));
}

#ifdef _WIN32
TEST(Windows, TypedLinesAndTheProgramsOwnPath) {
  // A line typed at a console reaches fopen in the ANSI code page.
  EXPECT_EQ(lyricrtf::code_page_text(L"Caf\u00e9 \u2019\u00c5.txt", 1252), "Caf\xE9 \x92\xC5.txt");
  EXPECT_EQ(lyricrtf::code_page_text(L"\u0416", 1252), "?");
  // A file name as characters, from the ANSI code page (Windows-1252 here).
  EXPECT_EQ(lyricrtf::path_text("Caf\xE9 \x80.txt"), "Caf\xC3\xA9 \xE2\x82\xAC.txt");
  // A program started by a bare name lies where the system says.
  const std::string own = lyricrtf::locate_program("lyricrtf", nullptr);
  EXPECT_EQ(own.substr(own.size() - 19), "\\lyricrtf_tests.exe") << own;
  EXPECT_EQ(lyricrtf::locate_program("bin\\lyricrtf", nullptr), "bin\\lyricrtf");
}
#endif

// A conversion in memory: `templates` expanded over the report stream `r`
// (after its byte-order mark), read in blocks of `block` bytes: the
// document, what it says, and what the reader ended with.
struct Converted {
  std::string document, said;
  int error;  // what a read that failed left; 0 when none did
  size_t window;
  int pieces;  // the writes of what it said: titles wait, and go together
};

Converted convert(const std::string& templates, FILE* r, size_t block) {
  std::string said;
  int pieces = 0;
  lyricrtf::Conversion c;
  c.messages.sink = [&](std::string_view text, lyricrtf::Said) { said += text, ++pieces; };
  c.messages.at_once = false;
  lyricrtf::init(c);
  FILE* t = file_of(templates);
  EXPECT_TRUE(lyricrtf::get_template(c, t));
  std::fclose(t);
  FILE* out = std::tmpfile();
  lyricrtf::Report in(r, c.format, block);
  lyricrtf::put_schedule(c, out, in);
  std::string document(static_cast<size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  EXPECT_EQ(std::fread(document.data(), 1, document.size(), out), document.size());
  std::fclose(out);
  return {document, said, in.failed() ? in.error() : 0, in.window_capacity(), pieces};
}

// convert() of a report held in memory: the document.
std::string expand(const std::string& templates, const std::string& report, size_t* window = nullptr,
                   size_t block = lyricrtf::default_block_size) {
  FILE* r = file_of(report);
  const Converted converted = convert(templates, r, block);
  std::fclose(r);
  if (window) *window = converted.window;
  return converted.document;
}

std::string record(const std::string& title, const std::string& lyrics) {
  return "Schedule Detail\nfor Big.sch\n" + title + "\n" + lyrics + "      \nA\nc\nN\n";
}

#if defined(__GLIBC__)
// A report read from memory that runs `meanwhile` at its fourth read, and
// whose reads fail with EIO once `fails_at` bytes are read.
struct Source {
  std::string bytes;
  size_t fails_at = std::string::npos;
  std::function<void()> meanwhile;
  size_t at = 0;
  int reads = 0;
};

ssize_t read_source(void* cookie, char* to, size_t n) {
  auto& source = *static_cast<Source*>(cookie);
  if (++source.reads == 4 && source.meanwhile) source.meanwhile();
  if (source.at == source.fails_at) return errno = EIO, -1;
  n = std::min({n, source.bytes.size() - source.at, source.fails_at - source.at});
  std::memcpy(to, source.bytes.data() + source.at, n);
  source.at += n;
  return static_cast<ssize_t>(n);
}

FILE* open_source(Source& source) {
  FILE* f = fopencookie(&source, "r", {read_source, nullptr, nullptr, nullptr});
  std::setvbuf(f, nullptr, _IONBF, 0);  // every read of the reader reaches the source
  return f;
}

TEST(Runs, AReportThatFailsToBeReadEndsWhereItFailed) {
  // The records before the failure are written, and the reader tells of
  // the failure and its error; the song reader leaves the words to the
  // driver, which fails the run. The titles wait through the 600
  // expansions of %b and go in one piece at the end.
  const std::string report = record("One", "Verse 1\na\n") + record("Two", "Verse 1\nb\n");
  std::string templates = "%Schedule\n%C.\n%\\\n%Song\n[%T %s]%a\n%\\\n%Verse\n%z\n%\\\n%b\n%%\n%\\\n%a\n";
  for (int i = 0; i < 300; ++i) templates += i < 299 ? "%b" : "%b\n";
  const std::string percents(300, '%');
  const size_t inside_lyrics = report.size() - 14;  // after the second record's "b"
  for (size_t fails_at : {size_t{0}, inside_lyrics, report.size() - 3}) {
    Source source{report, fails_at, {}};
    FILE* f = open_source(source);
    const Converted converted = convert(templates, f, 7);
    std::fclose(f);
    EXPECT_EQ(converted.document + converted.said,
              fails_at == 0 ? "." : "[One a]" + percents + "[Two b]" + percents + ".One\nTwo\n");
    EXPECT_TRUE(converted.error == EIO && converted.pieces <= 1) << fails_at;
  }
}

TEST(Runs, TwoConversionsSideBySideShareNothing) {
  // The first conversion is in the middle of its song loop, its slots
  // borrowing from its window, when the second runs whole: other
  // templates, another format, other lyrics. Each writes what it writes
  // alone.
  const std::string first_templates =
      "%Schedule\n%C[%T]\n%\\\n%Song\n<%T|%N>%s\n%\\\n%Stanza\n(%t %z)\n%\\\n%Line\n/\n%\\\n";
  const std::string second_templates =
      "%#rtf\n%Schedule\n{%C}%S\n%\\\n%Song\n%T:%s\n%\\\n%Verse\n[%n:%z]\n%\\\n";
  std::string first_report, second_report = "\xEF\xBB\xBF";
  for (int i = 0; i < 40; ++i) {
    first_report += record("One " + std::to_string(i), "Verse 1\na%Tb\nc\n");
    second_report += record("Tw\xC3\xB6 {" + std::to_string(i) + "}", "Verse 2\n\xE2\x80\x99x%\n");
  }
  const std::string first_alone = expand(first_templates, "\xEF\xBB\xBF" + first_report);
  const std::string second_alone = expand(second_templates, second_report);
  ASSERT_NE(first_alone.find("(Verse a"), std::string::npos);

  std::string second_meanwhile;
  FILE* second = fmemopen(second_report.data(), second_report.size(), "r");
  Source source{"\xEF\xBB\xBF" + first_report, std::string::npos,
                [&] { second_meanwhile = convert(second_templates, second, 4096).document; }};
  FILE* r = open_source(source);
  const std::string first_meanwhile = convert(first_templates, r, 97).document;
  std::fclose(r);
  std::fclose(second);
  EXPECT_GT(source.reads, 4);
  EXPECT_TRUE(first_meanwhile == first_alone && second_meanwhile == second_alone);
}
#endif

TEST(Pathological, ExtremeShapesConvertWhole) {
  const std::string big(20 * 1000 * 1000, 'x');
  EXPECT_EQ(expand("%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Verse\n[%z]\n%\\\n", record("L", "Verse 1\n" + big + "\n")),
            "[" + big + "]");
  std::string lyrics, numbers, records, titles;
  for (int i = 0; i < 100000; ++i) {
    lyrics += "Verse " + std::to_string(i) + "\nline\n";
    numbers += std::to_string(i) + ";";
    // Each Song shows the last record's tag suffix: the stanza slots keep it
    // while the reader's window moves.
    records += record("T" + std::to_string(i), "Verse " + std::to_string(i) + "\nl\n");
    titles += "T" + std::to_string(i) + "." + (i ? std::to_string(i - 1) : "") + ";";
  }
  EXPECT_EQ(expand("%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Verse\n%n;\n%\\\n", record("M", lyrics)), numbers);
  size_t window = 0;  // memory grows with the largest record, never with the report (5 MB)
  EXPECT_EQ(expand("%Schedule\n%C%n\n%\\\n%Song\n%T.%n;%s\n%\\\n", records, &window), titles + "99999");
  EXPECT_LT(window, 1u << 20);
  EXPECT_EQ(expand("%Schedule\n" + std::string(1000000, '%') + "\n%\\\n", ""), std::string(500000, '%'));
  // A record's number holds a song loop, walked after an empty title ended
  // the first: the loop reads on while the text is walked, and the reader's
  // window moves and grows under it. So does the last stanza's text, whose
  // joined lines the stanzas of that loop write over.
  std::string more = "Schedule Detail\nfor B.sch\n\nl\n      \nA\nc\nx%Cy\n";
  std::string loop, stanzas;
  for (int i = 0; i < 5000; ++i) {
    const std::string title = "B" + std::string(i % 97, 'b');
    more += record(title, "Verse 1\n" + std::string(i % 89 + 1, 'z') + "\n");
    loop += title + ";";
    stanzas += title + ";<" + std::string(i % 89 + 1, 'z') + ">";
  }
  const std::string first = record("A", "Verse 1\nx%Cy\n");
  EXPECT_EQ(expand("%Schedule\n%C%N\n%\\\n%Song\n%T;\n%\\\n", first + more), "A;x" + loop + "y");
  EXPECT_EQ(expand("%Schedule\n%C%z\n%\\\n%Song\n%T;%s\n%\\\n%Stanza\n<%z>\n%\\\n", first + more),
            "A;<xy>x" + stanzas + "y");
}

#if defined(__linux__)
// The bytes of stack that converting `report` takes, run in a thread on a
// stack of our own, painted first: what is no longer paint was used.
size_t stack_used(const std::string& templates, const std::string& report, std::string& output) {
  std::vector<unsigned char> stack(16 << 20, 0xA5);
  std::function<void()> run = [&] { output = expand(templates, report); };
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, stack.data(), stack.size());
  pthread_t thread;
  pthread_create(
      &thread, &attributes,
      [](void* body) -> void* {
        (*static_cast<std::function<void()>*>(body))();
        return nullptr;
      },
      &run);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return static_cast<size_t>(stack.end() - std::find_if(stack.begin(), stack.end(), [](auto b) { return b != 0xA5; }));
}

TEST(Pathological, TheDeepestNestingStaysWithinItsStackBudget) {
  // Each record's N line walks a song loop, which reads one record (an
  // empty line follows it), then N, which then holds the next record's: a
  // chain as deep as the records, cut at 1000 levels.
  auto chain = [](int records) {
    std::string report;
    for (int i = 0; i < records; ++i)
      report += "Schedule Detail\nfor B.sch\nT\n      \nA\nc\nx%C%N\n\n";
    return report;
  };
  const std::string templates = "%Schedule\n%C%N\n%\\\n";
  std::string output;
  const size_t shallow = stack_used(templates, chain(100), output);
  EXPECT_EQ(output, std::string(100, 'x'));
  const size_t deep = stack_used(templates, chain(1100), output);
  EXPECT_EQ(output, std::string(999, 'x'));
  const size_t per_level = (deep - shallow) / 900;
  std::printf("1000 levels took %zu bytes of stack, 100 %zu, one %zu\n", deep, shallow, per_level);
  // What expander.cpp states beside max_nesting: about 200 bytes a level
  // optimised, up to 3.3 KiB under AddressSanitizer.
  EXPECT_LT(per_level, 4096u);
}
#endif

TEST(Pathological, CharactersAcrossBlocksStayWhole) {
  // Each character, carriage return and zero in turn straddles the end of
  // the reader's blocks (of 4 KiB here), as 8-bit codes and kept as UTF-8,
  // where a stray byte takes two. A carriage return and three bytes of a
  // character are the most a block leaves to the next.
  const std::string tail =
      "\r\xF0\x9F\x8E\xB5\xE2\x80\x99\xC3\xA9\r\r\xC3\xA9\x80\r\nx\xE2\x80\xA9y\nz\n";
  const std::string templates =
      "%Schedule\n%C\n%\\\n%Song\n%s\n%\\\n%Stanza\n%z\n%\\\n%Line\n/\n%\\\n";
  // A whole block follows, read after what the first one left.
  const size_t block = 4096;
  const std::string next_block(block, 'b');
  // The record's lines before the pad take 36 bytes.
  for (size_t pad = block - 36 - 25; pad <= block - 36 + 4; ++pad) {
    const std::string line(pad, 'a');
    const std::string report = record("T", "first\n" + line + tail + next_block + "\n");
    EXPECT_EQ(expand(templates, report, nullptr, block), line + "#\x92\xE9\r\xE9\x80/x/z/" + next_block)
        << pad;
    EXPECT_EQ(expand("%#text\n" + templates, report, nullptr, block),
              line + "\xF0\x9F\x8E\xB5\xE2\x80\x99\xC3\xA9\r\xC3\xA9\xC2\x80/x/z/" + next_block)
        << pad;
  }
}

TEST(Pathological, AReportCutOffAfterEveryByteKeepsTheRecordsBefore) {
  const std::string first = record("One", "Verse 1\na\n");
  const std::string second = "  Schedule Detail\nfor B.sch\nTw\xC3\xB6\nChorus 2\nb \xE2\x80\x99" "c\n\nTag (x2)\nd\n      \nMe  \n      (c)\n9\n";
  for (size_t cut = 0; cut <= second.size(); ++cut) {
    std::string output = expand("%Schedule\n%C\n%\\\n%Song\n<%T|%A|%c|%N>%s\n%\\\n%Stanza\n[%t%n:%z]\n%\\\n",
                                first + second.substr(0, cut));
    ASSERT_EQ(output.substr(0, 21), "<One|A|c|N>[Verse1:a]") << cut;
  }
}

}  // namespace
