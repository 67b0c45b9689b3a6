#include "report/reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "text/characters.h"
#include "text/simd.h"

namespace lyricrtf {

namespace {

// What a block may leave undecoded for the next one: a carriage return and
// three bytes of the character it cuts off. The next read comes after them
// and still asks for a whole block: a read of less than a block took the
// stream's own buffer, with a second call and a copy, for every block.
constexpr size_t carried_max = 4;

// The first read asks for the head that tells what a file is (report_head_size),
// each next one for twice as much, up to the block size: a large report is
// soon read a whole block at a time. The window and the line feeds are
// sized by the bytes read, from room for at least a few lines on, so that
// a small report costs what it holds, and small blocks do not make them
// grow again and again.
constexpr size_t first_read = report_head_size;
constexpr size_t least_room = 1024;

// Whether a byte stands for itself in the window and is not marked: not a
// carriage return, a form feed or a zero, nor special in the format; for
// 8-bit codes below 0xC0 (the bytes below stand for themselves), in UTF-8
// below 0x80.
constexpr bool is_plain(unsigned char b, Format format) {
  return b < (format == Format::none ? 0xC0 : 0x80) && b != '\r' && b != '\f' && b != 0 &&
         !is_special(b, format);
}

// is_plain of every byte, looked up: the bytes that the 32-byte steps leave
// (a block's last few, and all of a small block's) take one load each
// instead of a compare for each special character.
template <Format format>
constexpr std::array<bool, 256> plain_bytes = [] {
  std::array<bool, 256> plain{};
  for (int b = 0; b < 256; ++b)
    plain[static_cast<size_t>(b)] = is_plain(static_cast<unsigned char>(b), format);
  return plain;
}();

// What the window keeps of a character that took more than one byte
// (from U+0080 on, or a lead byte's value cut off by the end of the file):
// U+2028 ends a line, U+2029 cuts its text. As Unicode, a value that is no
// scalar value becomes U+FFFD. As an 8-bit code, U+0000 to U+00FE keep
// their codes, the other characters of Windows-1252 take their codes there,
// and the rest is '#'.
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
// 32 bytes at a time, and finding the line feeds in the same look, reads
// them with a few instructions for 32 bytes, where a byte at a time and a
// search for each line's end took several for each byte
// (bench/README.md). The line feeds go to `feeds`, at `out_at` on. The
// run also ends where a byte that `format` writes otherwise is
// (is_plain), for the decoder to mark it: the search for them costs two
// compares per byte, and a record's lines that hold none are then copied
// as they stand.
template <Format format>
size_t copy_plain_run(const unsigned char* p, size_t n, char* out, size_t out_at, size_t*& feeds) {
  size_t i = 0;
#if LYRICRTF_SSE2
  constexpr size_t step = 32;
  static_assert(step <= room_past_text, "a step's stores past the text stay in the window's room");
  const __m128i line_feed = _mm_set1_epi8('\n');
  // The bytes that are not plain (is_plain false): the reader's own stops,
  // and the format's specials.
  auto stopping = [&](__m128i x) {
    __m128i found;
    if constexpr (format == Format::none) {
      // A lead byte (from 0xC0 on: the unsigned maximum with 0xC0 is the
      // byte itself); a form feed or a carriage return (12 and 13) is 13
      // with its lowest bit set; or a zero.
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
  for (; i + step <= n; i += step) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);  // the window has room
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16), y);
    const uint32_t stops = mask(stopping(x), stopping(y));
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
  for (; i < n && plain_bytes<format>[p[i]]; ++i) {
    out[i] = static_cast<char>(p[i]);
    if (p[i] == '\n') *feeds++ = out_at + i;
  }
  return i;
}

}  // namespace

// Decodes the bytes raw_[0..n) into characters at the window's end;
// returns how many characters, and in `used` how many bytes they took. A
// character that the bytes cut off is left for the next block unless the
// file ends, where each missing byte adds its low six bits, all ones.
template <Format format>
size_t Report::decode(size_t n, size_t& used) {
  const unsigned char* p = raw_.get();
  char* out = window_.data() + end_;
  size_t* feeds = feeds_.get() + feed_count_;
  constexpr bool unicode = format != Format::none;
  size_t r = 0, w = 0;
  for (;;) {
    if (!in_cut_) {
      const size_t run = copy_plain_run<format>(p + r, n - r, out + w, end_ + w, feeds);
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
        if (at_eof_) r = n;  // the end of file follows: nothing more
        break;
      }
      b = p[++r];
    }
    int value = static_cast<int>(b);
    if (b < 0xC0) {
      ++r;
    } else {
      const size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      if (r + length > n && !at_eof_) {
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
      in_cut_ = false;
      *feeds++ = end_ + w;
    } else if (in_cut_ || value == 0) {
      in_cut_ = true;
      continue;
    }
    if (is_special(static_cast<char32_t>(value), format)) marks_.push_back(end_ + w);
    if (unicode && value >= 0x80)
      w += put_utf8(out + w, static_cast<char32_t>(value));
    else
      out[w++] = static_cast<char>(value);
  }
  if (at_eof_ && r == n && in_cut_) {
    // The file ends in a line that a zero cut: the line is there all the
    // same, so it gets the line end it lacks.
    *feeds++ = end_ + w;
    out[w++] = '\n';
  }
  feed_count_ = static_cast<size_t>(feeds - feeds_.get());
  used = r;
  return w;
}

// Lets go of what lies before `keep_`. The window's characters, the line
// feeds and the marks are positions in the window, and move together, so
// that everything from `keep_` on is where it was, counted from `keep_`.
void Report::forget_before_keep() {
  if (keep_ == 0) return;
  std::memmove(window_.data(), window_.data() + keep_, end_ - keep_);
  feed_count_ -= next_feed_;
  for (size_t i = 0; i < feed_count_; ++i) feeds_[i] = feeds_[next_feed_ + i] - keep_;
  next_feed_ = 0;
  marks_.erase(marks_.begin(), std::lower_bound(marks_.begin(), marks_.end(), keep_));
  for (size_t& mark : marks_) mark -= keep_;
  pos_ -= keep_;
  end_ -= keep_;
  keep_ = 0;
}

// Makes room after the window's end for the characters of `bytes` bytes,
// and for their line feeds. What lies before `keep_` goes; before_moving_
// lets what borrows from the window take copies.
void Report::make_room(size_t bytes) {
  // A byte is one character at most, but in UTF-8 a stray byte takes two,
  // and a lead byte that the end of the file cuts off up to four; the end
  // of the file may add a line feed.
  const bool unicode = format_ != Format::none;
  const size_t room = (unicode ? 2 * bytes + 4 : bytes) + 1;
  if (window_.capacity() - end_ < room) {
    if (before_moving_) before_moving_();
    forget_before_keep();
    if (window_.capacity() - end_ < room) {
      // A record larger than the window: it grows, as far as the record needs.
      PaddedBuffer grown(std::max({2 * window_.capacity(), end_ + room, least_room}));
      if (end_ > 0) std::memcpy(grown.data(), window_.data(), end_);
      window_ = std::move(grown);
    }
  }
  // A line feed per byte at most, one the end of the file may add, and
  // the decoder's three stores past the last.
  const size_t feeds_needed = feed_count_ + bytes + 4;
  if (feeds_needed > feed_capacity_) {
    const size_t capacity = std::max({2 * feed_capacity_, feeds_needed, least_room / 8});
    std::unique_ptr<size_t[]> feeds(new size_t[capacity]);
    std::copy(feeds_.get(), feeds_.get() + feed_count_, feeds.get());
    feeds_ = std::move(feeds);
    feed_capacity_ = capacity;
  }
}

// Decodes the next block after the window's end; false when the report has
// no character left.
bool Report::refill() {
  for (;;) {
    if (at_eof_ && raw_size_ == 0) return false;
    size_t n = raw_size_;
    if (!at_eof_) {
      ask_ = std::min(block_size_, ask_ > 0 ? 2 * ask_ : first_read);
      const size_t got = std::fread(raw_.get() + n, 1, ask_, file_);
      head_.append(reinterpret_cast<char*>(raw_.get() + n),
                   std::min(got, report_head_size - head_.size()));
      n += got;
      if (got < ask_) {
        at_eof_ = true;
        // A read that fails ends the report there; the driver tells.
        if (std::ferror(file_)) {
          failed_ = true;
          error_ = errno;
        }
      }
    }
    make_room(n);
    size_t used = 0;
    const size_t decoded = format_ == Format::none   ? decode<Format::none>(n, used)
                           : format_ == Format::rtf  ? decode<Format::rtf>(n, used)
                           : format_ == Format::html ? decode<Format::html>(n, used)
                           : format_ == Format::csv  ? decode<Format::csv>(n, used)
                                                     : decode<Format::text>(n, used);
    end_ += decoded;
    raw_size_ = n - used;
    std::memmove(raw_.get(), raw_.get() + used, raw_size_);
    // A block may hold only dropped characters; at the end of the file
    // everything is decoded, so this cannot go round for ever.
    if (decoded > 0 || at_eof_) return decoded > 0;
  }
}

Report::Report(FILE* f, Format declared, size_t block)
    : file_(f),
      format_(declared),
      block_size_(block),
      raw_(new unsigned char[block + carried_max]) {}

void Report::marks_in(Span span, std::vector<size_t>& marks) const {
  const size_t from = keep_ + span.at;
  auto mark = std::lower_bound(marks_.begin(), marks_.end(), from);
  for (; mark != marks_.end() && *mark < from + span.size; ++mark) marks.push_back(*mark - keep_);
  marks.push_back(std::string_view::npos);
}

int ugetc(Report& in) {
  if (in.pos_ == in.end_ && !in.refill()) return EOF;
  if (in.window_.data()[in.pos_] == '\n') ++in.next_feed_;
  if (in.format_ == Format::none) return static_cast<unsigned char>(in.window_.data()[in.pos_++]);
  return static_cast<int>(next_utf8({in.window_.data(), in.end_}, in.pos_));
}

bool get_any_line(Report& in, Span& line) {
  // The line's end first: the next line feed, or the end of the file. Its
  // start moves with the window, as every position in it does.
  bool ended = true;
  while (ended && in.next_feed_ == in.feed_count_) ended = in.refill();
  const size_t pos = in.pos_;  // moved with the window, if it moved
  const size_t stop = ended ? in.feeds_[in.next_feed_++] : in.end_;
  const size_t start = pos + in.margin_at(pos, stop);
  line = {start - in.keep_, stop - start};
  in.pos_ = ended ? stop + 1 : stop;
  return ended || start < stop;  // a line that begins at the end of the file is none
}

}  // namespace lyricrtf
