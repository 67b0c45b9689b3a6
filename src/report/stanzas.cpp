#include "report/stanzas.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

std::string songbuf;
size_t sbp = 0;
Stanzas stanzas;

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// tag_by_initial as a table, and the second letter of each tag's name
// (none for 0: no byte with the lower-case bit set is 0).
constexpr std::array<unsigned char, 256> initial_tags = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[static_cast<size_t>(c)] = static_cast<unsigned char>(tag_by_initial(static_cast<char>(c)));
  return table;
}();
constexpr std::array<char, tags.size() + 1> second_letters = [] {
  std::array<char, tags.size() + 1> letters{};
  for (size_t t = 0; t < tags.size(); ++t) letters[t + 1] = static_cast<char>(tags[t][1] | 0x20);
  return letters;
}();

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

// Whether feeds[0, count) are the positions of all the line feeds in
// `lyrics`, in order.
[[maybe_unused]] bool feeds_are_all(std::string_view lyrics, const size_t* feeds, size_t count) {
  std::vector<size_t> all;
  find_every_byte(lyrics.data(), lyrics.size(), '\n', all);
  return all.size() == count && std::equal(all.begin(), all.end(), feeds);
}

}  // namespace

int is_tag(size_t pos) { return tag_at(songbuf, pos); }

void cut_stanzas(std::string_view lyrics, const size_t* feed, size_t count,
                 std::vector<Cut>& cuts) {
  const size_t size = lyrics.size();
  if (size == 0) return;
  const char* text = lyrics.data();
  assert(feeds_are_all(lyrics, feed, count));
  // Line k runs from the feed before it (or the start) to the feed after
  // it (or the end). The last line is empty when the lyrics end with a
  // line feed.
  const size_t lines = count + 1;
  auto start = [&](size_t k) { return k == 0 ? 0 : feed[k - 1] + 1; };
  // The tag of line k; an empty last line is no tag line. Few lines begin
  // with the first two letters of a tag name, and those are found without
  // a test that depends on the line.
  auto tag_of = [&](size_t k) {
    size_t at = start(k);
    if (at >= size) return 0;
    char second = at + 1 < size ? text[at + 1] : 0;
    if ((second | 0x20) != second_letters[initial_tags[static_cast<unsigned char>(text[at])]])
      return 0;
    return tag_at(lyrics, at);
  };

  size_t k = 0;  // the line that begins the stanza
  int tag = tag_of(0);
  while (k < lines) {
    Cut& cut = cuts.emplace_back();
    size_t at = start(k);
    size_t end = k + 1 < lines ? feed[k] : size;
    if (tag) {
      size_t space = at + find_byte(text + at, end - at, ' ');
      cut.tag = at;
      cut.tag_size = space - at;
      cut.suffix = space < end ? space + 1 : end;
      cut.suffix_size = end - cut.suffix;
    } else {
      // Lyrics that do not begin with a tag line: their first line is the
      // title again, or a remark, and belongs to no stanza.
      cut.tag = cut.suffix = at;
    }

    // The stanza's lines run up to the next tag line or the lyrics' end. An
    // empty line that ends the lyrics after a line feed belongs to it, so
    // its text is the lines as they stand, each line feed replaced by the
    // Line separator.
    size_t next = k + 1;
    tag = 0;
    while (next < lines && !(tag = tag_of(next))) ++next;
    cut.from = k + 1 < lines ? feed[k] + 1 : size;
    cut.first_feed = k + 1;
    if (next < lines) {
      // Before a tag line, the last line's feed is not part of the text.
      cut.stop = start(next);
      cut.feed_count = next > k + 1 ? next - k - 2 : 0;
      cut.to = next > k + 1 ? cut.stop - 1 : cut.stop;
    } else {
      cut.stop = size;
      cut.feed_count = k + 2 <= lines ? lines - k - 2 : 0;
      cut.to = size;
    }
    k = next;
  }
}

void set_lyrics(std::string_view lyrics) {
  songbuf.assign(lyrics);
  stanzas.cuts.clear();
  stanzas.feeds.clear();
  stanzas.next = 0;
  find_every_byte(songbuf.data(), songbuf.size(), '\n', stanzas.feeds);
  cut_stanzas(songbuf, stanzas.feeds.data(), stanzas.feeds.size(), stanzas.cuts);
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
