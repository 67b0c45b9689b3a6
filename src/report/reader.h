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

// The character that a code point above 254 stands for.
int map_code_point(int value);

// The next character of the report as an 8-bit code (0 to 254), or EOF.
// Inline: the line reader calls it for every character that is not plain
// ASCII.
inline int ugetc(Report& in) {
  int c = next_byte(in);
  if (c == '\r') c = next_byte(in);
  if (c < 0xC0) return c;  // the end of file included
  // The bytes after a lead byte are taken as they come; an end of file
  // among them adds its low six bits, all ones.
  int value;
  if (c < 0xE0) {
    value = (c & 0x1F) << 6;
    value |= next_byte(in) & 0x3F;
  } else if (c < 0xF0) {
    value = (c & 0x0F) << 12;
    value |= (next_byte(in) & 0x3F) << 6;
    value |= next_byte(in) & 0x3F;
  } else {
    value = (c & 0x07) << 18;
    value |= (next_byte(in) & 0x3F) << 12;
    value |= (next_byte(in) & 0x3F) << 6;
    value |= next_byte(in) & 0x3F;
  }
  return value <= 254 ? value : map_code_point(value);
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

}  // namespace lyricrtf
