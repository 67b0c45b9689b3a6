// The report's character and line reader.
//
// The report is UTF-8; inside the program every character is one 8-bit code:
// U+0000 to U+00FE keep their code, U+2019 becomes 146, U+2028 a line feed,
// U+2029 a zero, the byte-order mark 254, and any other character '#'.
// The report is read forward once, in large blocks.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace lyricrtf {

// Code that ugetc delivers for the byte-order mark.
constexpr int byte_order_mark = 254;

// The report stream: the open file and the block read from it last.
struct Report {
  explicit Report(FILE* file);

  FILE* file;
  std::unique_ptr<unsigned char[]> block;
  size_t pos = 0;  // next unread byte of the block
  size_t end = 0;  // bytes in the block
};

// Reads the next block; false at the end of the file (or a read error).
bool refill(Report& in);

inline int next_byte(Report& in) {
  if (in.pos == in.end && !refill(in)) return EOF;
  return in.block[in.pos++];
}

// The next character of the report as an 8-bit code (0 to 254), or EOF.
int ugetc(Report& in);

// Reads the next line into `line`, after dropping up to five spaces of
// margin. A line ends at a line feed, a form feed, a line separator
// (U+2028) or the end of the file; its end is consumed, not stored. The
// text is cut at a zero character, whose line is still consumed whole.
// Returns false, with `line` empty, when the line begins at the end of
// the file: that tells the end of the report from an empty line.
bool get_line(Report& in, std::string& line);

}  // namespace lyricrtf
