#include "report/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "template/scan.h"

namespace lyricrtf {

namespace {

// Large enough that reading costs one call per 64 KiB, small enough that
// memory does not grow with the report.
constexpr size_t block_size = 64 * 1024;

constexpr size_t margin = 5;  // spaces of left margin dropped from each line

// Length of the leading run of decoded characters p[0..n) that neither end
// a line (line feed, form feed) nor cut its text (zero).
size_t line_run(const unsigned char* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i form_feed = _mm_set1_epi8('\f');
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i stops = _mm_or_si128(_mm_cmpeq_epi8(x, line_feed), _mm_cmpeq_epi8(x, form_feed));
    int mask = _mm_movemask_epi8(_mm_or_si128(stops, _mm_cmpeq_epi8(x, zero)));
    if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (i < n && p[i] != '\n' && p[i] != '\f' && p[i] != 0) ++i;
  return i;
}

// Length of the stretch of whole lines at the start of p[0..n) that need
// no care: each begins with a character other than a space, holds no form
// feed and no zero, and ends with a line feed. Most lyrics are such lines;
// they are found 64 bytes at a time, not line by line.
size_t plain_lines(const unsigned char* p, size_t n) {
  size_t plain = 0;
#if defined(__SSE2__)
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i form_feed = _mm_set1_epi8('\f');
  const __m128i zero = _mm_setzero_si128();
  uint64_t after_line_feed = 1;  // p begins a line
  for (size_t c = 0; c + 64 <= n; c += 64) {
    uint64_t line_feeds = 0, spaces = 0, stops = 0;
    for (int k = 0; k < 4; ++k) {
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + c + 16 * k));
      auto bits = [&](__m128i m) {
        return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))) << (16 * k);
      };
      line_feeds |= bits(_mm_cmpeq_epi8(x, line_feed));
      spaces |= bits(_mm_cmpeq_epi8(x, space));
      stops |= bits(_mm_or_si128(_mm_cmpeq_epi8(x, form_feed), _mm_cmpeq_epi8(x, zero)));
    }
    uint64_t starts = (line_feeds << 1) | after_line_feed;
    uint64_t bad = (starts & spaces) | stops;
    if (bad) {
      // The stretch ends where the line that needs care begins.
      int first = __builtin_ctzll(bad);
      uint64_t earlier = starts & ((2ULL << first) - 1);
      if (!earlier) return plain;
      return c + static_cast<size_t>(63 - __builtin_clzll(earlier));
    }
    if (line_feeds) plain = c + 64 - static_cast<size_t>(__builtin_clzll(line_feeds));
    after_line_feed = line_feeds >> 63;
  }
#else
  (void)p;
  (void)n;
#endif
  return plain;  // the rest goes line by line
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

// Bytes a character takes that begins with the lead byte `b` (0xC0 and up).
size_t sequence_length(unsigned b) { return b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4; }

// Decodes the bytes p[0..n) into characters at out[0..), which has room
// for n + 16; returns how many characters, and in `used` how many bytes
// they took. A character that the bytes cut off is left undecoded unless
// `at_eof`, where each missing byte adds its low six bits, all ones.
size_t decode(const unsigned char* p, size_t n, bool at_eof, size_t& used, unsigned char* out) {
  size_t r = 0, w = 0;
  for (;;) {
#if defined(__SSE2__)
    // 16 bytes at a time are copied whole; the output goes on only as far
    // as no byte needs decoding.
    const __m128i carriage_return = _mm_set1_epi8('\r');
    const __m128i lead = _mm_set1_epi8(static_cast<char>(0xC0));
    while (r + 16 <= n) {
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + w), x);
      __m128i leads = _mm_cmpeq_epi8(_mm_max_epu8(x, lead), x);
      int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, carriage_return), leads));
      if (mask) {
        size_t plain = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        r += plain;
        w += plain;
        break;
      }
      r += 16;
      w += 16;
    }
#endif
    while (r < n && p[r] != '\r' && p[r] < 0xC0) out[w++] = p[r++];
    if (r == n) break;

    size_t start = r;
    unsigned b = p[r];
    if (b == '\r') {
      // The byte after a carriage return begins the character, whatever it
      // is; a second carriage return is a character of its own.
      if (r + 1 == n) {
        if (at_eof) r = n;  // the end of file follows: nothing more
        break;
      }
      b = p[++r];
      if (b < 0xC0) {
        out[w++] = static_cast<unsigned char>(b);
        ++r;
        continue;
      }
    }
    size_t length = sequence_length(b);
    if (r + length > n && !at_eof) {
      r = start;  // decoded with the next block
      break;
    }
    int value = static_cast<int>(b) & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < length; ++k) {
      int next = r + k < n ? p[r + k] : 0x3F;
      value = (value << 6) | (next & 0x3F);
    }
    r = std::min(r + length, n);
    out[w++] = static_cast<unsigned char>(map_code_point(value));
  }
  used = r;
  return w;
}

}  // namespace

Report::Report(FILE* f)
    : file(f), block(new unsigned char[block_size + 16]), bytes(new unsigned char[block_size]) {}

Report::~Report() {
  // Taken out first: stopping the reader clears the hook.
  std::function<void()> stop = std::move(stop_reading);
  stop_reading = nullptr;
  if (stop) stop();
}

bool refill(Report& in) {
  // The bytes of a character that the last block cut off lead this one.
  size_t n = in.kept;
  if (!in.at_eof) {
    size_t got = std::fread(in.bytes.get() + n, 1, block_size - n, in.file);
    in.bytes_read += got;
    n += got;
    if (n < block_size) in.at_eof = true;
  }
  size_t used = 0;
  in.end = decode(in.bytes.get(), n, in.at_eof, used, in.block.get());
  in.pos = 0;
  in.kept = n - used;
  std::memmove(in.bytes.get(), in.bytes.get() + used, in.kept);
  return in.end > 0;
}

namespace {

// The common case of reading a line: when the line, its margin and its end
// all lie in the decoded block, shows it in `line`, moves past it and
// returns true; else changes nothing and returns false.
bool line_in_block(Report& in, std::string_view& line) {
  const unsigned char* block = in.block.get();
  size_t pos = in.pos;
  const size_t limit = std::min(in.end, pos + margin);
  while (pos < limit && block[pos] == ' ') ++pos;
  if (pos == in.end) return false;
  size_t run = line_run(block + pos, in.end - pos);
  if (pos + run == in.end || block[pos + run] == 0) return false;
  line = std::string_view(reinterpret_cast<const char*>(block + pos), run);
  in.pos = pos + run + 1;
  return true;
}

}  // namespace

bool append_line(Report& in, std::string& text, std::string_view& line) {
  if (line_in_block(in, line)) {
    text.append(line);
    return true;
  }
  for (size_t spaces = 0;; ++spaces, ++in.pos) {
    if (in.pos == in.end && !refill(in)) {
      line = {};
      return false;  // the line begins at the end
    }
    if (spaces == margin || in.block[in.pos] != ' ') break;
  }
  const size_t first = text.size();
  const char* block = reinterpret_cast<const char*>(in.block.get());
  size_t run = line_run(in.block.get() + in.pos, in.end - in.pos);
  for (;;) {
    text.append(block + in.pos, run);
    in.pos += run;
    if (in.pos == in.end) {
      if (!refill(in)) break;
      run = line_run(in.block.get() + in.pos, in.end - in.pos);
      continue;
    }
    if (in.block[in.pos++] != 0) break;  // a line feed or a form feed
    // A zero ends the text; the rest of the line is consumed unread.
    for (;;) {
      const unsigned char* p = in.block.get() + in.pos;
      size_t n = in.end - in.pos, i = 0;
      while (i < n && p[i] != '\n' && p[i] != '\f') ++i;
      in.pos += i;
      if (i < n) {
        ++in.pos;
        break;
      }
      if (!refill(in)) break;
    }
    break;
  }
  line = std::string_view(text).substr(first);
  return true;
}

bool next_line(Report& in, std::string& spill, std::string_view& line) {
  if (line_in_block(in, line)) return true;
  spill.clear();
  return append_line(in, spill, line);
}

bool append_line(Report& in, std::string& text) {
  std::string_view line;
  return append_line(in, text, line);
}

bool append_lines(Report& in, std::string& text, std::string_view stop) {
  const unsigned char* p = in.block.get();
  const size_t end = in.end;
  size_t pos = in.pos;  // the start of the line at hand
  size_t run = pos;     // the start of the bytes that go in unchanged
  size_t after_stop = 0;
  for (;;) {
    if (pos < end && p[pos] != ' ') pos += plain_lines(p + pos, end - pos);
    size_t start = pos, limit = std::min(end, pos + margin);
    while (start < limit && p[start] == ' ') ++start;
    if (start == end) break;
    size_t line_end = start + line_run(p + start, end - start);
    if (line_end == end || p[line_end] != '\n') break;  // needs append_line
    std::string_view line(reinterpret_cast<const char*>(p + start), line_end - start);
    if (same_bytes(line, stop)) {
      after_stop = line_end + 1;
      break;
    }
    if (start != pos) {
      // The margin stays out: what went before goes in, and a new run
      // begins after the margin.
      text.append(reinterpret_cast<const char*>(p + run), pos - run);
      run = start;
    }
    pos = line_end + 1;
  }
  text.append(reinterpret_cast<const char*>(p + run), pos - run);
  in.pos = after_stop ? after_stop : pos;
  return after_stop != 0;
}

bool get_line(Report& in, std::string& line) {
  line.clear();
  return append_line(in, line);
}

}  // namespace lyricrtf
