#include "report/reader.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace lyricrtf {

namespace {

// Large enough that reading costs one call per 64 KiB, small enough that
// memory does not grow with the report.
constexpr size_t block_size = 64 * 1024;

constexpr int margin = 5;  // spaces of left margin dropped from each line

// Bytes that get_line copies straight from the block: everything that is
// one character by itself and neither ends a line nor is dropped. That is
// every byte below 0xC0 (stray continuation bytes 0x80 to 0xBF stand for
// themselves) except the zero, the line feed, the form feed and the
// carriage return.
constexpr std::array<bool, 256> make_plain() {
  std::array<bool, 256> plain{};
  for (int b = 0; b < 0xC0; ++b) plain[b] = true;
  plain[0] = plain['\n'] = plain['\f'] = plain['\r'] = false;
  return plain;
}
constexpr std::array<bool, 256> plain = make_plain();

constexpr uint64_t ones = 0x0101010101010101ULL;
constexpr uint64_t highs = 0x8080808080808080ULL;

constexpr uint64_t has_zero_byte(uint64_t w) { return (w - ones) & ~w & highs; }

// Whether one of the eight bytes in `w` is not plain.
constexpr bool has_special(uint64_t w) {
  uint64_t lead = w & (w << 1) & highs;  // both top bits set: 0xC0 and above
  return lead | has_zero_byte(w) | has_zero_byte(w ^ (ones * '\n')) |
         has_zero_byte(w ^ (ones * '\f')) | has_zero_byte(w ^ (ones * '\r'));
}

// Length of the run of plain bytes at the start of p[0..n).
size_t plain_run(const unsigned char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (has_special(w)) break;
  }
  while (i < n && plain[p[i]]) ++i;
  return i;
}

int map_code_point(int value) {
  if (value <= 254) return value;
  switch (value) {
    case 0x2028: return '\n';  // line separator
    case 0x2029: return 0;     // paragraph separator
    case 0x2019: return 146;   // right single quotation mark, as in cp1252
    case 0xFEFF: return byte_order_mark;
    default: return '#';
  }
}

}  // namespace

Report::Report(FILE* f) : file(f), block(new unsigned char[block_size]) {}

bool refill(Report& in) {
  in.pos = 0;
  in.end = std::fread(in.block.get(), 1, block_size, in.file);
  return in.end > 0;
}

int ugetc(Report& in) {
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
  return map_code_point(value);
}

bool get_line(Report& in, std::string& line) {
  line.clear();
  int c = ugetc(in);
  for (int spaces = 0; c == ' ' && spaces < margin; ++spaces) c = ugetc(in);
  if (c == EOF) return false;
  bool cut = false;  // a zero character ended the text; consume the rest
  while (c != EOF && c != '\n' && c != '\f') {
    if (c == 0) cut = true;
    if (!cut) line.push_back(static_cast<char>(c));
    size_t run = plain_run(in.block.get() + in.pos, in.end - in.pos);
    if (!cut) line.append(reinterpret_cast<const char*>(in.block.get() + in.pos), run);
    in.pos += run;
    c = ugetc(in);
  }
  return true;
}

}  // namespace lyricrtf
