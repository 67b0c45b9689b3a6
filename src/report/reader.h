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

#include <algorithm>

namespace lyricrtf {

// What ugetc delivers for the byte-order mark: its 8-bit code, and itself.
constexpr int byte_order_mark = 254;
constexpr int unicode_byte_order_mark = 0xFEFF;

// Large enough that reading costs one call per 64 KiB, small enough that
// memory does not grow with the report. Tests read in far smaller blocks,
// so that every character and line crosses a block's end somewhere.
constexpr size_t default_block_size = 64 * 1024;

// A stretch of the window, counted from the reader's `keep`.
struct Span {
  size_t at = 0;
  size_t size = 0;
};

// The report stream and the characters decoded from it. The window keeps
// room_past_text bytes past its last character, so that the decoder's
// stores and 64-byte loads at a line's start stay inside it, and its
// texts are PaddedViews.
struct Report {
  // In a declared format the characters are kept as themselves, not 8-bit
  // codes.
  Report(FILE* file, Format format, size_t block_size = default_block_size);

  FILE* file;
  Format format;
  size_t block_size;  // what each read asks for
  // Called before the window moves: views into it must take copies.
  std::function<void()> before_moving;
  std::unique_ptr<unsigned char[]> raw;  // bytes read and not decoded yet
  size_t raw_size = 0;                   // a character the last block cut off
  bool at_eof = false;
  bool in_cut = false;  // after a zero: the rest of the line is dropped
  std::unique_ptr<char[]> window;
  size_t capacity = 0;
  size_t keep = 0;  // the first character that must stay where it was read
  size_t pos = 0;   // the next character not read
  size_t end = 0;   // the end of the decoded characters
  // Where the decoder put each line feed, in order; feeds[next_feed] is the
  // first one at or after `pos`, and feed_count ends them. The line reader
  // needs no search of its own. Before each block there is room for a line
  // feed per byte of it and a few more.
  std::unique_ptr<size_t[]> feeds;
  size_t feed_capacity = 0;
  size_t feed_count = 0;
  size_t next_feed = 0;
  // Where the decoder put each character that `format` escapes (a '%' when
  // there is none), in order: the song reader needs no search for them.
  std::vector<size_t> marks;
  size_t next_mark = 0;  // marks before it lie before `keep`
  // The report's first bytes as read, to tell what the file is when it
  // lacks its byte-order mark.
  std::string head;
};

// The next character of the report, an 8-bit code (0 to 254) or, when the
// report is read as Unicode, the character itself; EOF at the end.
int ugetc(Report& in);

// What Report::head keeps of a report's first bytes: enough to tell UTF-8
// text from other bytes when the report lacks its mark.
constexpr size_t report_head_size = 4096;

// Reads the report's first character: whether it is the byte-order mark.
// Read as Unicode, it must be U+FEFF itself, not U+00FE.
inline bool starts_with_mark(Report& in) {
  return ugetc(in) == (in.format != Format::none ? unicode_byte_order_mark : byte_order_mark);
}

// Reads the next line, after dropping up to five spaces of margin, into
// `line`. A line ends at a line feed, a form feed, a line separator (U+2028)
// or the end of the file; its end is consumed, not stored, and a zero ends
// its text. Returns false, with `line` empty, when the line begins at the
// end of the file: that tells the end of the report from an empty line.
bool get_line(Report& in, Span& line);

// get_line's general case: a line whose end is not decoded yet.
bool get_any_line(Report& in, Span& line);

// The left margin of the line from `pos` to `stop`: up to five spaces,
// counted in one word (records are indented or not, and a loop over the
// spaces mispredicted at each change). The window has room past `stop`.
inline size_t margin_at(const Report& in, size_t pos, size_t stop) {
  uint64_t word;
  std::memcpy(&word, in.window.get() + pos, sizeof word);
  const auto spaces = __builtin_ctzll((word ^ 0x2020202020202020) | uint64_t{1} << 40) / 8;
  return std::min(static_cast<size_t>(spaces), stop - pos);
}

inline bool get_line(Report& in, Span& line) {
  if (in.next_feed == in.feed_count) return get_any_line(in, line);
  // The common case: the line's end is decoded already.
  const size_t stop = in.feeds[in.next_feed++];
  const size_t start = in.pos + margin_at(in, in.pos, stop);
  line = {start - in.keep, stop - start};
  in.pos = stop + 1;
  return true;
}

// The text of `span`: valid until the window moves, which only reading
// the next song record's first line may do.
inline PaddedView text(const Report& in, Span span) {
  return PaddedView::with_room(in.window.get() + in.keep + span.at, span.size);
}

// Lets go of everything before `span`, which then begins at 0.
void keep_from(Report& in, Span& span);

}  // namespace lyricrtf
