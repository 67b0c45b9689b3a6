#include "report/stanzas.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "report/songs.h"
#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// End of the line that begins at `pos`: its line feed, or the lyrics' end.
size_t line_end(size_t pos) {
  return pos + find_byte(songbuf.data() + pos, songbuf.size() - pos, '\n');
}

// Position of the line after the one that ends at `end`, or the lyrics' end.
size_t next_line(size_t end) { return end < songbuf.size() ? end + 1 : end; }

// Line feeds of the stanza being cut, found once and used to join it.
std::vector<size_t> feeds;

// The tag line at which the last stanza stopped, and its tag: the next
// stanza begins there. The cursor moves only to such a line, to the end,
// or back to 0 for a new record, and 0 never ends a stanza.
size_t stop_line = std::string::npos;
int stop_tag = 0;

// Start of the first tag line at or after the line start `pos`, or the
// lyrics' end. The line feeds before it go to `feeds`.
size_t next_tag_line(size_t pos) {
  const size_t size = songbuf.size();
  const char* text = songbuf.data();
  feeds.clear();
  for (;;) {
    if (pos < size && tag_by_initial(text[pos])) {
      if (int tag = is_tag(pos)) {
        stop_line = pos;
        stop_tag = tag;
        return pos;
      }
    }
    pos += find_byte(text + pos, size - pos, '\n');
    if (pos == size) return size;
    feeds.push_back(pos++);
  }
}

// Room for copying 16 bytes at a time past a text's end.
constexpr size_t slack = 16;

// songbuf[from, to) with each line feed replaced by `separator`, into
// `text`; the line feeds in it are the first `count` of `feeds`.
void join_lines(size_t from, size_t to, size_t count, const std::string& separator,
                std::string& text) {
  const size_t size = to - from - count + count * separator.size();
  text.resize(size + slack);
  char* out = text.data();
  const char* lyrics = songbuf.data();
  const size_t readable = songbuf.size();  // bytes from the lyrics' start
  // The separator padded to 16 bytes, when it fits, is copied whole.
  char padded[slack] = {};
  bool short_separator = separator.size() <= slack;
  if (short_separator) std::memcpy(padded, separator.data(), separator.size());
  for (size_t k = 0; k < count; ++k) {
    copy_bytes(out, lyrics + from, feeds[k] - from, readable - from);
    out += feeds[k] - from;
    if (short_separator)
      copy_bytes(out, padded, slack, slack);
    else
      std::memcpy(out, separator.data(), separator.size());
    out += separator.size();
    from = feeds[k] + 1;
  }
  copy_bytes(out, lyrics + from, to - from, readable - from);
  text.resize(size);
}

}  // namespace

int is_tag(size_t pos) {
  const size_t size = songbuf.size();
  if (pos >= size) return 0;
  const char* line = songbuf.data() + pos;
  int tag = tag_by_initial(line[0]);
  if (!tag) return 0;  // most lines
  std::string_view name = tags[tag - 1];
  size_t rest = size - pos;
  if (rest <= name.size()) return 0;
  // The names are letters: a character matches one in either case when
  // it equals it with the lower-case bit set.
  for (size_t i = 1; i < name.size(); ++i)
    if ((line[i] | 0x20) != (name[i] | 0x20)) return 0;
  char after = line[name.size()];
  if (after == '\n') return tag;
  if (after == ' ' && rest > name.size() + 1) {
    char next = line[name.size() + 1];
    if (is_digit(next) || next == '(') return tag;
  }
  return 0;
}

bool get_stanza() {
  if (sbp >= songbuf.size()) return false;

  size_t end = line_end(sbp);
  if (sbp == stop_line ? stop_tag : is_tag(sbp)) {
    std::string_view tag_line = std::string_view(songbuf).substr(sbp, end - sbp);
    size_t space = tag_line.find(' ');
    store_escape(tag_slot, tag_line.substr(0, space));
    store_escape(suffix_slot, space == std::string_view::npos ? std::string_view()
                                                              : tag_line.substr(space + 1));
  } else {
    // Lyrics that do not begin with a tag line: their first line is the
    // title again, or a remark, and belongs to no stanza.
    store_escape(tag_slot, "");
    store_escape(suffix_slot, "");
  }
  sbp = next_line(end);

  // The stanza's lines run up to the next tag line or the lyrics' end. An
  // empty line that ends the lyrics after a line feed belongs to it, so its
  // text is the lines as they stand, each line feed replaced by the Line
  // separator.
  size_t stop = next_tag_line(sbp);
  // Before a tag line, the last line's feed is not part of the text.
  bool before_tag = stop < songbuf.size() && !feeds.empty();
  size_t last = before_tag ? stop - 1 : stop;
  size_t count = before_tag ? feeds.size() - 1 : feeds.size();
  join_lines(sbp, last, count, *escape[separator_slot], writable_escape(stanza_text_slot));
  sbp = stop;
  return true;
}

}  // namespace lyricrtf
