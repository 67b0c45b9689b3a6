#include "report/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/characters.h"

namespace lyricrtf {

namespace {

// What a block may leave undecoded for the next one: a carriage return and
// three bytes of the character it cuts off. The next read comes after them
// and still asks for a whole block: a read of less than a block took the
// stream's own buffer, with a second call and a copy, for every block.
constexpr size_t carried_max = 4;
size_t raw_capacity(const Report& in) { return in.block_size + carried_max; }

// Whether a byte stands for itself in the window and is not marked: not a
// carriage return, a form feed or a zero, nor escaped, and below 0xC0 for
// 8-bit codes, which take the bytes below as they stand, below 0x80 in UTF-8.
constexpr bool is_plain(unsigned char b, Format format) {
  return b < (format == Format::none ? 0xC0 : 0x80) && b != '\r' && b != '\f' && b != 0 &&
         !escaped(b, format);
}

// What the window keeps of a character beyond U+00BF: U+2028 ends a line,
// U+2029 cuts its text. As Unicode, a value that is no scalar value becomes
// U+FFFD. As an 8-bit code, U+0000 to U+00FE keep their codes, the other
// characters of Windows-1252 take their codes there, and the rest is '#'.
int kept_character(int value, bool unicode) {
  if (value == 0x2028) return '\n';
  if (value == 0x2029) return 0;
  if (unicode) return is_scalar(static_cast<char32_t>(value)) ? value : 0xFFFD;
  if (value <= 254) return value;
  if (value == 0x2019) return 146;  // the most frequent, ahead of the search
  if (value == 0xFEFF) return byte_order_mark;
  for (int code = 0x80; code <= 0x9F; ++code)
    if (windows_1252_high[code - 0x80] == value) return code;
  return '#';
}

// Copies the run of plain bytes at the start of p[0..n) to `out`; returns
// its length. Most of a report is runs of a hundred bytes or more: looking at
// 32 bytes at a time, and finding the line feeds in the same look, makes
// reading a report about twice as fast as a byte at a time and a search
// for each line's end. The line feeds go to `feeds`, at `out_at` on. The
// run also ends where a byte that `format` escapes is (is_plain), for the
// decoder to mark it: the search for them costs two compares per byte, and
// a record's lines that hold none are then copied as they stand.
template <Format format>
size_t copy_plain_run(const unsigned char* p, size_t n, char* out, size_t out_at, size_t*& feeds) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i line_feed = _mm_set1_epi8('\n');
  // is_plain's opposite: the reader's own stops, and what the format
  // escapes.
  auto special = [&](__m128i x) {
    __m128i found;
    if constexpr (format == Format::none) {
      // A lead byte; a form feed or a carriage return (12 and 13) is 13
      // with its lowest bit set.
      found = _mm_or_si128(
          _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(static_cast<char>(0xC0))), x),
          _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(1)), _mm_set1_epi8('\r')),
                       _mm_cmpeq_epi8(x, _mm_setzero_si128())));
    } else {
      // As signed bytes, those from 0x80 on are below 0x20 as well: every
      // byte of a character beyond ASCII, and every control character but
      // the line feed.
      found =
          _mm_andnot_si128(_mm_cmpeq_epi8(x, line_feed), _mm_cmplt_epi8(x, _mm_set1_epi8(0x20)));
    }
    return _mm_or_si128(found, special_bytes<format>(x));
  };
  auto mask = [](__m128i low, __m128i high) {
    return static_cast<uint32_t>(_mm_movemask_epi8(low)) |
           static_cast<uint32_t>(_mm_movemask_epi8(high)) << 16;
  };
  for (; i + 32 <= n; i += 32) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);  // the window has room
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16), y);
    const uint32_t stops = mask(special(x), special(y));
    uint32_t lines = mask(_mm_cmpeq_epi8(x, line_feed), _mm_cmpeq_epi8(y, line_feed));
    if (stops) lines &= (stops & -stops) - 1;  // only those before the first stop
    // Thirty-two bytes of lyrics hold one line feed, two or three. Three
    // entries are written whatever their number, which is then counted: a
    // loop over the line feeds mispredicted its end on almost every line.
    const size_t at = out_at + i;
    const uint32_t second = lines & (lines - 1), third = second & (second - 1);
    constexpr uint64_t none = uint64_t{1} << 32;
    feeds[0] = at + static_cast<size_t>(__builtin_ctzll(lines | none));
    feeds[1] = at + static_cast<size_t>(__builtin_ctzll(second | none));
    feeds[2] = at + static_cast<size_t>(__builtin_ctzll(third | none));
    feeds += (lines != 0) + (second != 0) + (third != 0);
    for (uint32_t more = third & (third - 1); more; more &= more - 1)
      *feeds++ = at + static_cast<size_t>(__builtin_ctz(more));
    if (stops) return i + static_cast<size_t>(__builtin_ctz(stops));
  }
#endif
  for (; i < n && is_plain(p[i], format); ++i) {
    out[i] = static_cast<char>(p[i]);
    if (p[i] == '\n') *feeds++ = out_at + i;
  }
  return i;
}

// Decodes the bytes p[0..n) into characters at the window's end; returns how
// many characters, and in `used` how many bytes they took. A character that
// the bytes cut off is left for the next block unless the file ends, where
// each missing byte adds its low six bits, all ones.
template <Format format>
size_t decode(Report& in, size_t n, size_t& used) {
  const unsigned char* p = in.raw.get();
  char* out = in.window.get() + in.end;
  size_t* feeds = in.feeds.get() + in.feed_count;
  constexpr bool unicode = format != Format::none;
  size_t r = 0, w = 0;
  for (;;) {
    if (!in.in_cut) {
      const size_t run = copy_plain_run<format>(p + r, n - r, out + w, in.end + w, feeds);
      r += run;
      w += run;
    }
    if (r == n) break;

    const size_t start = r;
    unsigned b = p[r];
    if (b == '\r') {
      // The byte after a carriage return begins the character, whatever it
      // is; a second carriage return is a character of its own.
      if (r + 1 == n) {
        if (in.at_eof) r = n;  // the end of file follows: nothing more
        break;
      }
      b = p[++r];
    }
    int value = static_cast<int>(b);
    if (b < 0xC0) {
      ++r;
    } else {
      const size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      if (r + length > n && !in.at_eof) {
        r = start;  // decoded with the next block
        break;
      }
      value &= length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07;
      for (size_t k = 1; k < length; ++k)
        value = (value << 6) | ((r + k < n ? p[r + k] : 0x3F) & 0x3F);
      r = std::min(r + length, n);
      value = kept_character(value, unicode);
    }
    // The line reader's own rules: a form feed ends a line, a zero ends its
    // text, and the rest of that line is read but dropped.
    if (value == '\f') value = '\n';
    if (value == '\n') {
      in.in_cut = false;
      *feeds++ = in.end + w;
    } else if (in.in_cut || value == 0) {
      in.in_cut = true;
      continue;
    }
    if (escaped(static_cast<char32_t>(value), format)) in.marks.push_back(in.end + w);
    if (unicode && value >= 0x80)
      w += put_utf8(out + w, static_cast<char32_t>(value));
    else
      out[w++] = static_cast<char>(value);
  }
  if (in.at_eof && r == n && in.in_cut) {
    // The file ends in a line that a zero cut: the line is there all the
    // same, so it gets the line end it lacks.
    *feeds++ = in.end + w;
    out[w++] = '\n';
  }
  in.feed_count = static_cast<size_t>(feeds - in.feeds.get());
  used = r;
  return w;
}

// Makes room for a decoded block after the window's end. What lies before
// `keep` goes; before_moving lets what borrows from the window take copies.
void make_room(Report& in) {
  // Room for a block with what the last one left and the line feed the end
  // of the file may add, with room_past_text after them. In UTF-8 a stray
  // byte takes two, and a lead byte that the end of the file cuts off up to
  // four.
  const bool unicode = in.format != Format::none;
  const size_t room = (unicode ? 2 * raw_capacity(in) + 4 : raw_capacity(in)) + 1 + room_past_text;
  if (in.capacity - in.end >= room) return;
  if (in.before_moving) in.before_moving();
  if (in.keep > 0) {
    std::memmove(in.window.get(), in.window.get() + in.keep, in.end - in.keep);
    in.feed_count -= in.next_feed;
    for (size_t i = 0; i < in.feed_count; ++i) in.feeds[i] = in.feeds[in.next_feed + i] - in.keep;
    in.next_feed = 0;
    in.marks.erase(in.marks.begin(), std::lower_bound(in.marks.begin(), in.marks.end(), in.keep));
    for (size_t& mark : in.marks) mark -= in.keep;
    in.next_mark = 0;
    in.pos -= in.keep;
    in.end -= in.keep;
    in.keep = 0;
  }
  if (in.capacity - in.end >= room) return;
  // A record larger than the window: it grows, as far as the record needs.
  size_t capacity = std::max({2 * in.capacity, in.end + room, 4 * in.block_size});
  std::unique_ptr<char[]> window(new char[capacity]());
  if (in.end > 0) std::memcpy(window.get(), in.window.get(), in.end);
  in.window = std::move(window);
  in.capacity = capacity;
}

// Makes room for the line feeds of a block: one per byte at most, one the
// end of the file may add, and the decoder's three stores past the last.
void make_feed_room(Report& in) {
  const size_t needed = in.feed_count + raw_capacity(in) + 4;
  if (needed <= in.feed_capacity) return;
  const size_t capacity = std::max(2 * in.feed_capacity, needed);
  std::unique_ptr<size_t[]> feeds(new size_t[capacity]);
  std::copy(in.feeds.get(), in.feeds.get() + in.feed_count, feeds.get());
  in.feeds = std::move(feeds);
  in.feed_capacity = capacity;
}

// Decodes the next block after the window's end; false when the report has
// no character left.
bool refill(Report& in) {
  for (;;) {
    if (in.at_eof && in.raw_size == 0) return false;
    make_room(in);
    make_feed_room(in);
    size_t n = in.raw_size;
    if (!in.at_eof) {
      const size_t got = std::fread(in.raw.get() + n, 1, in.block_size, in.file);
      if (in.head.size() < report_head_size)
        in.head.append(reinterpret_cast<char*>(in.raw.get() + n), std::min(got, report_head_size - in.head.size()));
      n += got;
      if (got < in.block_size) in.at_eof = true;
    }
    size_t used = 0;
    constexpr decltype(&decode<Format::none>) decoders[] = {
        decode<Format::none>, decode<Format::rtf>, decode<Format::html>, decode<Format::text>};
    const size_t decoded = decoders[static_cast<int>(in.format)](in, n, used);
    in.end += decoded;
    in.raw_size = n - used;
    std::memmove(in.raw.get(), in.raw.get() + used, in.raw_size);
    // A block may hold only dropped characters; at the end of the file
    // everything is decoded, so this cannot go round for ever.
    if (decoded > 0 || in.at_eof) return decoded > 0;
  }
}

}  // namespace

Report::Report(FILE* f, Format declared, size_t block)
    : file(f), format(declared), block_size(block), raw(new unsigned char[block + carried_max]) {}

int ugetc(Report& in) {
  if (in.pos == in.end && !refill(in)) return EOF;
  if (in.window[in.pos] == '\n') ++in.next_feed;
  if (in.format == Format::none) return static_cast<unsigned char>(in.window[in.pos++]);
  return static_cast<int>(next_utf8({in.window.get(), in.end}, in.pos));
}

bool get_any_line(Report& in, Span& line) {
  // The line's end first: the next line feed, or the end of the file. Its
  // start, counted from `keep`, stays where it is when the window moves.
  const size_t from = in.pos - in.keep;
  bool ended = true;
  while (ended && in.next_feed == in.feed_count) ended = refill(in);
  const size_t pos = in.keep + from;
  const size_t stop = ended ? in.feeds[in.next_feed++] : in.end;
  const size_t start = pos + margin_at(in, pos, stop);
  line = {start - in.keep, stop - start};
  in.pos = ended ? stop + 1 : stop;
  return ended || start < stop;  // a line that begins at the end of the file is none
}

void keep_from(Report& in, Span& span) {
  in.keep += span.at;
  span.at = 0;
}

}  // namespace lyricrtf
