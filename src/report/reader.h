// The report's character and line reader.
//
// The report is UTF-8; inside the program every character is one 8-bit code:
// U+0000 to U+00FE keep their code, U+2019 becomes 146, U+2028 a line feed,
// U+2029 a zero, the byte-order mark 254, and any other character '#'.
// A carriage return where a character begins is dropped.
//
// The report is read forward once, in large blocks, and each block is
// decoded as a whole before its characters are handed out.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lyricrtf {

// Code that ugetc delivers for the byte-order mark.
constexpr int byte_order_mark = 254;

// The report stream: the open file and the block decoded from it last.
struct Report {
  explicit Report(FILE* file);
  ~Report();
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  FILE* file;
  std::unique_ptr<unsigned char[]> block;  // the characters decoded last
  std::unique_ptr<unsigned char[]> bytes;  // the bytes read last
  size_t pos = 0;   // next character not handed out
  size_t end = 0;   // end of the decoded characters
  size_t kept = 0;  // bytes that begin a character the last block cut
                    // off; they lead `bytes` for the next block
  bool at_eof = false;
  size_t bytes_read = 0;  // bytes read from the file so far
  // Set by a reader that reads the report ahead in another thread: stops
  // that thread. Called before the report goes away.
  std::function<void()> stop_reading;
};

// Reads and decodes the next block; false when no character is left.
bool refill(Report& in);

// The next character of the report as an 8-bit code (0 to 254), or EOF.
inline int ugetc(Report& in) {
  if (in.pos == in.end && !refill(in)) return EOF;
  return in.block[in.pos++];
}

// Reads the next line into `line`, after dropping up to five spaces of
// margin. A line ends at a line feed, a form feed, a line separator
// (U+2028) or the end of the file; its end is consumed, not stored. The
// text is cut at a zero character, whose line is still consumed whole.
// Returns false, with `line` empty, when the line begins at the end of
// the file: that tells the end of the report from an empty line.
bool get_line(Report& in, std::string& line);

// As get_line, but appends the line's text to `text`, which keeps what it
// held.
bool append_line(Report& in, std::string& text);

// As append_line, and gives the text appended in `line`: a view of the
// decoded block when the line lies whole in it, so that the caller need
// not read `text` back. The view holds until the next read or change of
// `text`.
bool append_line(Report& in, std::string& text, std::string_view& line);

// As get_line, but gives the line in `line`: a view of the decoded block
// when the line lies whole in it, else of `spill`, which then holds the
// line. The view holds until the next read.
bool next_line(Report& in, std::string& spill, std::string_view& line);

// Appends to `text` the lines at the reading position, each with its line
// feed, until the line `stop`, which is consumed and not appended: then
// returns true. `stop` must be a line that begins with a space in the file.
// Returns false, with the reading position at its start, at the first line
// that this cannot take whole from the decoded block (one that the block
// cuts off, or with a form feed or a zero); append_line reads that one.
// Lines with a margin cost a copy each; the others go in as one piece.
bool append_lines(Report& in, std::string& text, std::string_view stop);

}  // namespace lyricrtf
