#include "report/stanzas.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

Lyrics songbuf;
size_t sbp = 0;
int stanza_tag = 0;

namespace {

std::string own_lyrics;  // the lyrics set_lyrics was given
std::string joined;      // the last stanza get_stanza joined, and room past it

// Where the stanza after the last one get_stanza cut begins, and its tag.
struct NextHead {
  const char* lyrics = nullptr;
  size_t at = 0;
  int tag = 0;
};
NextHead next_head;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool little_endian = true;
#else
constexpr bool little_endian = false;
#endif

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

// Each tag's name with the lower-case bit set in every byte, as the first
// bytes of a little-endian word, and the mask of those bytes: a line
// begins with the name, in any case, when its first 8 bytes with that bit
// set agree with it under the mask.
struct NameWord {
  uint64_t name = 0, mask = 0;
};
constexpr std::array<NameWord, tags.size() + 1> name_words = [] {
  std::array<NameWord, tags.size() + 1> words{};
  for (size_t t = 0; t < tags.size(); ++t)
    for (size_t i = 0; i < tags[t].size(); ++i) {
      words[t + 1].name |= static_cast<uint64_t>(static_cast<unsigned char>(tags[t][i] | 0x20)) << (8 * i);
      words[t + 1].mask |= uint64_t{0xFF} << (8 * i);
    }
  return words;
}();

// The tag of the line that begins at `pos` of `lyrics`, or 0. It reads at
// most 8 characters of the line. Few lines begin with the first two
// letters of a tag name; a table finds the others with one test that does
// not depend on the line.
inline int tag_at(std::string_view lyrics, size_t pos) {
  const size_t size = lyrics.size();
  if (pos + 1 >= size) return 0;
  const char* line = lyrics.data() + pos;
  const int tag = initial_tags[static_cast<unsigned char>(line[0])];
  if ((line[1] | 0x20) != second_letters[static_cast<size_t>(tag)]) return 0;  // most lines
  std::string_view name = tags[static_cast<size_t>(tag) - 1];
  const size_t rest = size - pos;
  if (rest <= name.size()) return 0;
  // The names are letters: a character matches one in either case when
  // it equals it with the lower-case bit set.
  if (rest >= 8 && little_endian) {
    uint64_t word = 0;
    std::memcpy(&word, line, 8);
    const NameWord& expected = name_words[static_cast<size_t>(tag)];
    if (((word | 0x2020202020202020ULL) & expected.mask) != expected.name) return 0;
  } else {
    for (size_t i = 2; i < name.size(); ++i)
      if ((line[i] | 0x20) != (name[i] | 0x20)) return 0;
  }
  char after = line[name.size()];
  if (after == '\n') return tag;
  if (after == ' ' && rest > name.size() + 1) {
    char next = line[name.size() + 1];
    if (is_digit(next) || next == '(') return tag;
  }
  return 0;
}

// Room for writing 16 bytes at a time past a text's end.
constexpr size_t slack = 16;

// Makes `text` at least `needed` bytes long, for writing into. Growing
// costs a library call and clears the new room, so it grows by some
// kilobytes at a time (or doubles, when it is short).
void grow(std::string& text, size_t needed) {
  if (needed > text.size())
    text.resize(std::max(needed, text.size() + std::min<size_t>(text.size(), 4096) + 4 * slack));
}

// The lines of the stanza that begin at `from` of `lyrics`, up to the next
// tag line or the lyrics' end, into `text` from position `end` on, each
// line feed replaced by `separator`; before a tag line, the last line's
// feed is left out. Moves `end` past them: the text may be longer, its
// bytes after `end` are scratch. Returns where the next stanza begins
// (lyrics.size() at the end), in `next_tag` its tag's number (0 at the
// end), and in `percent_sign` whether the lines hold a '%'. The lines are
// copied 16 bytes at a time, and the same look at each 16 finds the next
// line feed.
size_t join_stanza(std::string_view lyrics, size_t from, const std::string& separator,
                   std::string& text, size_t& end, int& next_tag, bool& percent_sign) {
  const size_t size = lyrics.size();
  percent_sign = find_byte(separator.data(), separator.size(), '%') < separator.size();
  next_tag = tag_at(lyrics, from);
  if (next_tag) return from;  // a tag line right after the tag line
  const char* in = lyrics.data() + from;
  size_t left = size - from;  // bytes from `in` to the lyrics' end
  const size_t separator_size = separator.size();
  // The separator padded to 16 bytes, when it fits, is copied whole.
  char padded[slack] = {};
  const bool short_separator = separator_size <= slack;
  if (short_separator) move_bytes(padded, separator.data(), separator_size);
  // The text is written 16 bytes at a time into room that grows as needed;
  // the bytes past `end` are overwritten, not cleared first. The room is
  // made at the start of each line for all that is left of the lyrics, so
  // that copying a line needs no look at it.
  const size_t at = end;
  char* base = nullptr;
  size_t room = 0;
  size_t out = at;
  auto make_room = [&](size_t bytes) {
    if (base && out + bytes <= room) return;
    grow(text, out + bytes);
    base = text.data();
    room = text.size();
  };
  make_room(left + slack);
  // At a line feed: true when a tag line follows, else the separator goes
  // in its place.
  auto at_line_feed = [&] {
    next_tag = tag_at(lyrics, size - left);
    if (next_tag) return true;
    make_room(separator_size + left + slack);
    char* to = base + out;
    if (short_separator)
      copy_bytes(to, padded, slack, slack);
    else
      std::memcpy(to, separator.data(), separator_size);
    out += separator_size;
    return false;
  };
  size_t next = size;
#if defined(__SSE2__)
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i percent = _mm_set1_epi8('%');
  // A '%' among the bytes looked at, which may run past the stanza, is
  // looked for again in the text at the end: it is rare.
  __m128i percents = _mm_setzero_si128();
  while (left >= slack) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(base + out), x);
    percents = _mm_or_si128(percents, _mm_cmpeq_epi8(x, percent));
    unsigned feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, line_feed)));
    if (!feeds) {
      out += slack;
      in += slack;
      left -= slack;
      continue;
    }
    size_t step = static_cast<size_t>(__builtin_ctz(feeds));
    out += step;
    in += step + 1;  // the line feed itself is not copied
    left -= step + 1;
    if (at_line_feed()) {
      next = size - left;
      left = 0;
    }
  }
  const bool looked_percent = _mm_movemask_epi8(percents) != 0;
#else
  const bool looked_percent = false;
#endif
  for (; left > 0; ++in) {
    --left;
    if (*in == '\n') {
      if (at_line_feed()) {
        next = size - left;
        break;
      }
      continue;
    }
    if (*in == '%') percent_sign = true;
    base[out++] = *in;
  }
  end = out;
  if (looked_percent && !percent_sign && find_byte(text.data() + at, out - at, '%') < out - at)
    percent_sign = true;
  return next;
}

// The head line of the stanza that begins at `head` of `lyrics`: a tag
// line of the tag numbered `number`, whose tag word and rest go to `tag`
// and `suffix`; or, for number 0, the first line of lyrics that do not
// begin with one, which belongs to no stanza (both empty). Returns where
// the stanza's lines begin.
size_t stanza_head(std::string_view lyrics, size_t head, int number, std::string_view& tag,
                   std::string_view& suffix) {
  const size_t size = lyrics.size();
  tag = suffix = {};
  size_t rest = head;
  if (number) {
    // A tag line is its tag's name, then a line feed or a space and the
    // rest of the line.
    const size_t name_size = tags[static_cast<size_t>(number) - 1].size();
    tag = lyrics.substr(head, name_size);
    rest = head + name_size;
    if (lyrics[rest] == ' ') ++rest;
  }
  const size_t head_end = rest + find_byte(lyrics.data() + rest, size - rest, '\n');
  if (number) suffix = lyrics.substr(rest, head_end - rest);
  // An empty line that ends the lyrics after a line feed belongs to the
  // last stanza.
  return head_end < size ? head_end + 1 : size;
}

}  // namespace

int is_tag(std::string_view lyrics, size_t pos) { return tag_at(lyrics, pos); }

void cut_stanzas(std::string_view lyrics, const std::string& separator, std::string& text,
                 std::vector<CutStanza>& stanzas) {
  // The stanzas are written into room past the text's end, which is cut
  // to what they take at the end. Joined lines take about a quarter more
  // than the lyrics with the usual separator: room for that is made once.
  size_t end = text.size();
  const size_t expected = end + lyrics.size() + lyrics.size() / 4 + 4 * slack;
  if (text.size() < expected) text.resize(expected);
  int number = tag_at(lyrics, 0);
  for (size_t head = 0; head < lyrics.size();) {
    CutStanza stanza;
    std::string_view tag, suffix;
    const size_t lines = stanza_head(lyrics, head, number, tag, suffix);
    stanza.at = end;
    stanza.tag = static_cast<unsigned char>(number);
    stanza.tag_size = static_cast<unsigned char>(tag.size());  // a tag name
    stanza.suffix_size = suffix.size();
    grow(text, end + tag.size() + suffix.size());
    move_bytes(text.data() + end, tag.data(), tag.size());
    end += tag.size();
    move_bytes(text.data() + end, suffix.data(), suffix.size());
    end += suffix.size();
    const size_t joined = end;
    head = join_stanza(lyrics, lines, separator, text, end, number, stanza.percent_sign);
    stanza.text_size = end - joined;
    stanzas.push_back(stanza);
  }
  text.resize(end);
}

void set_lyrics(std::string_view lyrics) {
  settle_views();  // the slots may show the old lyrics or stanza
  if (joined.capacity() > (1u << 20)) std::string().swap(joined);  // after a huge stanza
  own_lyrics.assign(lyrics);
  stanza_tag = 0;
  next_head = {};
  songbuf = {own_lyrics, false, nullptr, 0};
  sbp = 0;
}

bool get_stanza() {
  if (songbuf.cut) {
    if (sbp >= songbuf.count) return false;
    const CutStanza& stanza = songbuf.stanzas[sbp++];
    stanza_tag = stanza.tag;
    // The slots show the stanza where it lies, which stays until other
    // lyrics replace these. Lyrics hold no zero byte, and a tag word no '%'.
    std::string_view text = songbuf.text.substr(stanza.at);
    const size_t lines = stanza.tag_size + stanza.suffix_size;
    store_view(tag_slot, text.substr(0, stanza.tag_size), true);
    store_view(suffix_slot, text.substr(stanza.tag_size, stanza.suffix_size), false);
    store_view(stanza_text_slot, text.substr(lines, stanza.text_size), !stanza.percent_sign);
    return true;
  }
  const std::string_view lyrics = songbuf.text;
  if (sbp >= lyrics.size()) return false;
  std::string_view tag, suffix;
  bool percent_sign = false;
  // The tag of the stanza's head line, found with the last stanza's end
  // when these lyrics were cut up to here.
  if (sbp == 0 || next_head.lyrics != lyrics.data() || next_head.at != sbp)
    next_head.tag = tag_at(lyrics, sbp);
  stanza_tag = next_head.tag;
  const size_t lines = stanza_head(lyrics, sbp, stanza_tag, tag, suffix);
  // The lines are joined into a text of this module's own, which slot z
  // shows until the next stanza is joined there; it is never cut short, so
  // that it needs no clearing of new room for every stanza.
  size_t end = 0;
  sbp = join_stanza(lyrics, lines, slot_text(separator_slot), joined, end, next_head.tag,
                    percent_sign);
  next_head.lyrics = lyrics.data();
  next_head.at = sbp;
  // Lyrics hold no zero byte, and a tag word no '%'.
  store_view(stanza_text_slot, std::string_view(joined).substr(0, end), !percent_sign);
  store_view(tag_slot, tag, true);
  store_view(suffix_slot, suffix, false);
  return true;
}

}  // namespace lyricrtf
