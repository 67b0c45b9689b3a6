#include "report/reader.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Length of the run of plain bytes at the start of p[0..n). Looks at 16
// bytes at a time where the processor allows, else at 8.
size_t plain_run(const unsigned char* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i form_feed = _mm_set1_epi8('\f');
  const __m128i carriage_return = _mm_set1_epi8('\r');
  const __m128i lead = _mm_set1_epi8(static_cast<char>(0xC0));
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(x, line_feed), _mm_cmpeq_epi8(x, form_feed));
    __m128i drops = _mm_or_si128(_mm_cmpeq_epi8(x, carriage_return), _mm_cmpeq_epi8(x, zero));
    __m128i leads = _mm_cmpeq_epi8(_mm_max_epu8(x, lead), x);  // 0xC0 and above
    int mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(ends, drops), leads));
    if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (has_special(w)) break;
  }
  while (i < n && plain[p[i]]) ++i;
  return i;
}

}  // namespace

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

Report::Report(FILE* f) : file(f), block(new unsigned char[block_size]) {}

bool refill(Report& in) {
  in.pos = 0;
  in.end = std::fread(in.block.get(), 1, block_size, in.file);
  return in.end > 0;
}

bool get_line(Report& in, std::string& line) {
  line.clear();
  return append_line(in, line);
}

bool append_line(Report& in, std::string& line) {
  int c = ugetc(in);
  for (int spaces = 0; c == ' ' && spaces < margin; ++spaces) c = ugetc(in);
  if (c == EOF) return false;
  bool cut = false;  // a zero character ended the text; consume the rest
  for (;;) {
    if (c == EOF || c == '\n' || c == '\f') return true;
    if (c == 0) cut = true;
    if (!cut) line.push_back(static_cast<char>(c));

    // The common characters straight from the block: runs of plain bytes,
    // and characters of two or three bytes that lie wholly in the block.
    // Anything else goes through ugetc.
    for (;;) {
      const unsigned char* p = in.block.get() + in.pos;
      size_t run = plain_run(p, in.end - in.pos);
      if (!cut) line.append(reinterpret_cast<const char*>(p), run);
      in.pos += run;
      p += run;
      size_t left = in.end - in.pos;
      if (left >= 2 && p[0] >= 0xC2 && p[0] < 0xE0) {
        // U+0080 to U+07FF: never a line end or a zero.
        int value = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
        in.pos += 2;
        if (!cut) line.push_back(static_cast<char>(value <= 254 ? value : '#'));
      } else if (left >= 3 && p[0] >= 0xE0 && p[0] < 0xF0) {
        int value = ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        in.pos += 3;
        value = map_code_point(value);
        if (value == '\n' || value == '\f') return true;
        if (value == 0) cut = true;
        if (!cut) line.push_back(static_cast<char>(value));
      } else {
        break;
      }
    }
    c = ugetc(in);
  }
}

}  // namespace lyricrtf
