// The report's character and line reader.
//
// The report is UTF-8. Without a declared format every character becomes
// one 8-bit code: U+0000 to U+00FE keep their code, the other characters of
// Windows-1252 (U+2019, U+20AC, ...) take their codes there, the byte-order
// mark becomes 254 and any other character '#'. In a declared format the
// characters stay themselves, held as UTF-8, and a value that is no Unicode
// scalar value becomes U+FFFD. Either way U+2028 ends a line, U+2029 cuts
// its text, and a carriage return where a character begins is dropped; the
// bytes after a lead byte are taken without a check.
//
// The report is read forward once, a block at a time, and decoded into a
// window that holds the lines from `keep` on. The decoder already gives the
// lines as the line reader returns them: a form feed ends a line as a line
// feed does, and a zero cuts a line's text, so the window holds neither.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/bytes.h"
#include "text/formats.h"

namespace lyricrtf {

// What ugetc delivers for the byte-order mark: its 8-bit code, and itself.
constexpr int byte_order_mark = 254;
constexpr int unicode_byte_order_mark = 0xFEFF;

// Large enough that reading costs one call per 64 KiB, small enough that
// memory does not grow with the report. Tests read in far smaller blocks,
// so that every character and line crosses a block's end somewhere.
constexpr size_t default_block_size = 64 * 1024;

// What Report::head() keeps of a report's first bytes: enough to tell UTF-8
// text from other bytes when the report lacks its mark.
constexpr size_t report_head_size = 4096;

// The most spaces of left margin that a line loses. A line of six spaces
// thus reads as one space: the line that ends a record's lyrics.
constexpr size_t max_margin = 5;

// A stretch of the window, counted from the reader's `keep`: it stays the
// same stretch when the window moves.
struct Span {
  size_t at = 0;
  size_t size = 0;
};

// The report stream and the characters decoded from it.
class Report {
 public:
  // In a declared format the characters are kept as themselves, not 8-bit
  // codes. Each read asks for `block_size` bytes at most.
  Report(FILE* file, Format format, size_t block_size = default_block_size);

  Format format() const { return format_; }
  // The report's first bytes as read, to tell what the file is when it
  // lacks its byte-order mark: report_head_size of them, or all.
  const std::string& head() const { return head_; }
  // Whether a read failed. The report then ends where the failure came,
  // and error() is the error number that the read left.
  bool failed() const { return failed_; }
  int error() const { return error_; }

  // Called before the window moves: views into it must take copies.
  void before_moving(std::function<void()> call) { before_moving_ = std::move(call); }

  // The text of `span`: valid until the window moves, which reading a line
  // whose end is not decoded yet may do (get_any_line).
  PaddedView text(Span span) const { return window_.view(keep_ + span.at, span.size); }
  // texts().view(at, size) is text({at, size}), for loops that make many.
  PaddedBuffer::From texts() const { return window_.from(keep_); }
  // Lets go of everything before `span`, which then begins at 0.
  void keep_from(Span& span) {
    keep_ += span.at;
    span.at = 0;
  }
  // The characters within `span` that `format` writes otherwise than as
  // they stand (is_special; a '%' when there is none), as offsets from
  // `keep`, in order; then npos.
  void marks_in(Span span, std::vector<size_t>& marks) const;
  // How much the window holds now: it grows with the largest record.
  size_t window_capacity() const { return window_.capacity(); }

  friend int ugetc(Report& in);
  friend bool get_line(Report& in, Span& line);
  friend bool get_any_line(Report& in, Span& line);

 private:
  template <Format format>
  size_t decode(size_t n, size_t& used);
  bool refill();
  void make_room(size_t bytes);
  void forget_before_keep();
  size_t margin_at(size_t pos, size_t stop) const;

  FILE* file_;
  Format format_;
  size_t block_size_;
  std::function<void()> before_moving_;
  std::unique_ptr<unsigned char[]> raw_;  // bytes read and not decoded yet
  size_t raw_size_ = 0;  // a character the last block cut off
  size_t ask_ = 0;       // what the last read asked for
  bool at_eof_ = false;
  bool failed_ = false;
  int error_ = 0;
  bool in_cut_ = false;  // after a zero: the rest of the line is dropped
  // The decoded characters, with room_past_text bytes past its capacity,
  // so that the decoder's stores and the loads at a line's start stay
  // inside it, and its texts are PaddedViews.
  PaddedBuffer window_;
  size_t keep_ = 0;  // the first character that must stay where it was read
  size_t pos_ = 0;   // the next character not read
  size_t end_ = 0;   // the end of the decoded characters
  // Where the decoder put each line feed, in order; feeds_[next_feed_] is
  // the first one at or after `pos_`, and feed_count_ ends them. The line
  // reader needs no search of its own.
  std::unique_ptr<size_t[]> feeds_;
  size_t feed_capacity_ = 0;
  size_t feed_count_ = 0;
  size_t next_feed_ = 0;
  // Where the decoder put each character that the format writes otherwise
  // (is_special), in order: the song reader needs no search for them.
  std::vector<size_t> marks_;
  std::string head_;
};

// The next character of the report, an 8-bit code (0 to 254) or, when the
// report is read as Unicode, the character itself; EOF at the end.
int ugetc(Report& in);

// Reads the report's first character: whether it is the byte-order mark.
// Read as Unicode, it must be U+FEFF itself, not U+00FE.
inline bool starts_with_mark(Report& in) {
  return ugetc(in) == (in.format() != Format::none ? unicode_byte_order_mark : byte_order_mark);
}

// Reads the next line, after dropping up to max_margin spaces, into
// `line`. A line ends at a line feed, a form feed, a line separator
// (U+2028) or the end of the file; its end is consumed, not stored, and a
// zero ends its text. Returns false, with `line` empty, when the line
// begins at the end of the file: that tells the end of the report from an
// empty line.
bool get_line(Report& in, Span& line);

// get_line's general case: a line whose end is not decoded yet.
bool get_any_line(Report& in, Span& line);

// The left margin of the line from `pos` to `stop`: up to max_margin
// spaces, counted in one word (records are indented or not, and a loop
// over the spaces mispredicted at each change). The window has room past
// `stop` for the word.
inline size_t Report::margin_at(size_t pos, size_t stop) const {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                "the word's first byte must be its lowest, for the count of its trailing zeros");
  static_assert(max_margin < sizeof(uint64_t) && sizeof(uint64_t) <= room_past_text);
  uint64_t word;
  std::memcpy(&word, window_.data() + pos, sizeof word);
  // A space becomes a zero byte; the bit past the margin's last byte stops
  // the count there.
  const uint64_t stop_bit = uint64_t{1} << (8 * max_margin);
  const auto spaces = __builtin_ctzll((word ^ 0x2020202020202020) | stop_bit) / 8;
  return std::min(static_cast<size_t>(spaces), stop - pos);
}

inline bool get_line(Report& in, Span& line) {
  if (in.next_feed_ == in.feed_count_) return get_any_line(in, line);
  // The common case: the line's end is decoded already.
  const size_t stop = in.feeds_[in.next_feed_++];
  const size_t start = in.pos_ + in.margin_at(in.pos_, stop);
  line = {start - in.keep_, stop - start};
  in.pos_ = stop + 1;
  return true;
}

}  // namespace lyricrtf
