#include "report/stanzas.h"

#include <cstring>

#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

std::string songbuf;
size_t sbp = 0;
Stanzas stanzas;

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The tag of the line that begins at `pos` of `lyrics`, or 0.
int tag_at(std::string_view lyrics, size_t pos) {
  const size_t size = lyrics.size();
  if (pos >= size) return 0;
  const char* line = lyrics.data() + pos;
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

// Room for copying 16 bytes at a time past a text's end.
constexpr size_t slack = 16;

// songbuf[from, to) with each line feed replaced by `separator`, into
// `text`; `feeds` are the line feeds in it, `count` of them.
void join_lines(size_t from, size_t to, const size_t* feeds, size_t count,
                const std::string& separator, std::string& text) {
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

int is_tag(size_t pos) { return tag_at(songbuf, pos); }

void cut_stanzas(std::string_view lyrics, std::vector<Cut>& cuts, std::vector<size_t>& feeds) {
  const size_t size = lyrics.size();
  const char* text = lyrics.data();
  const size_t feeds_before = feeds.size();
  size_t pos = 0;
  int tag = tag_at(lyrics, 0);
  while (pos < size) {
    Cut& cut = cuts.emplace_back();
    size_t end = pos + find_byte(text + pos, size - pos, '\n');
    if (tag) {
      size_t space = pos + find_byte(text + pos, end - pos, ' ');
      cut.tag = pos;
      cut.tag_size = space - pos;
      cut.suffix = space < end ? space + 1 : end;
      cut.suffix_size = end - cut.suffix;
    } else {
      // Lyrics that do not begin with a tag line: their first line is the
      // title again, or a remark, and belongs to no stanza.
      cut.tag = cut.suffix = pos;
    }
    pos = end < size ? end + 1 : end;

    // The stanza's lines run up to the next tag line or the lyrics' end. An
    // empty line that ends the lyrics after a line feed belongs to it, so
    // its text is the lines as they stand, each line feed replaced by the
    // Line separator.
    const size_t first_feed = feeds.size();
    size_t stop = pos;
    tag = 0;
    for (;;) {
      if (stop < size && tag_by_initial(text[stop]) && (tag = tag_at(lyrics, stop))) break;
      stop += find_byte(text + stop, size - stop, '\n');
      if (stop == size) break;
      feeds.push_back(stop++);
    }
    size_t feed_count = feeds.size() - first_feed;
    // Before a tag line, the last line's feed is not part of the text.
    bool before_tag = stop < size && feed_count > 0;
    cut.from = pos;
    cut.to = before_tag ? stop - 1 : stop;
    cut.first_feed = first_feed - feeds_before;
    cut.feed_count = before_tag ? feed_count - 1 : feed_count;
    cut.stop = stop;
    pos = stop;
  }
}

void set_lyrics(std::string_view lyrics) {
  songbuf.assign(lyrics);
  stanzas.cuts.clear();
  stanzas.feeds.clear();
  stanzas.next = 0;
  cut_stanzas(songbuf, stanzas.cuts, stanzas.feeds);
  sbp = 0;
}

bool get_stanza() {
  if (stanzas.next >= stanzas.cuts.size()) return false;
  const Cut& cut = stanzas.cuts[stanzas.next++];
  std::string_view lyrics = songbuf;
  store_escape(tag_slot, lyrics.substr(cut.tag, cut.tag_size));
  store_escape(suffix_slot, lyrics.substr(cut.suffix, cut.suffix_size));
  join_lines(cut.from, cut.to, stanzas.feeds.data() + cut.first_feed, cut.feed_count,
             *escape[separator_slot], writable_escape(stanza_text_slot));
  sbp = cut.stop;
  return true;
}

}  // namespace lyricrtf
