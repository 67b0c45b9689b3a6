#include "report/stanzas.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "report/tags.h"
#include "template/scan.h"
#include "template/store.h"

namespace lyricrtf {

std::string_view songbuf;
size_t sbp = 0;
Stanzas stanzas;

namespace {

// The lyrics set_lyrics was given, and their tag lines.
std::string own_lyrics;
std::vector<size_t> own_tag_lines;

// Room for copying 16 bytes at a time past a text's end.
constexpr size_t slack = 16;

// `lines` with each line feed replaced by `separator`, into `text`; true
// when the result holds a '%'. `readable` bytes from the start of `lines`
// may be read. The lines are copied 16 bytes at a time, and the same
// look at each 16 finds the next line feed.
bool join_lines(std::string_view lines, size_t readable, const std::string& separator,
                std::string& text) {
  const char* in = lines.data();
  size_t left = lines.size();
  const size_t separator_size = separator.size();
  // The separator padded to 16 bytes, when it fits, is copied whole.
  char padded[slack] = {};
  const bool short_separator = separator_size <= slack;
  if (short_separator) std::memcpy(padded, separator.data(), separator_size);
  // Room for what is left, and for 16 bytes copied whole at the end.
  text.resize(left + slack);
  char* base = text.data();
  size_t size = text.size();
  size_t out = 0;
  bool percent_sign = false;
  auto put_separator = [&] {
    size_t room = out + separator_size + left + slack;
    if (room > size) {
      text.resize(std::max(room, 2 * size));
      base = text.data();
      size = text.size();
    }
    char* to = base + out;
    if (short_separator)
      copy_bytes(to, padded, slack, slack);
    else
      std::memcpy(to, separator.data(), separator_size);
    out += separator_size;
  };
#if defined(__SSE2__)
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i percent = _mm_set1_epi8('%');
  while (left > 0 && readable >= slack) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(base + out), x);
    const unsigned ours = left >= slack ? 0xFFFFu : (1u << left) - 1;
    if (static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, percent))) & ours)
      percent_sign = true;
    unsigned feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, line_feed))) & ours;
    size_t step = feeds ? static_cast<size_t>(__builtin_ctz(feeds)) : std::min(left, slack);
    out += step;
    if (feeds) ++step;  // the line feed is not copied
    in += step;
    left -= step;
    readable -= step;
    if (feeds) put_separator();
  }
#endif
  for (; left > 0; ++in) {
    --left;
    if (*in == '\n') {
      put_separator();
      continue;
    }
    if (*in == '%') percent_sign = true;
    base[out++] = *in;
  }
  text.resize(out);
  return percent_sign || find_byte(separator.data(), separator_size, '%') < separator_size;
}

}  // namespace

int is_tag(size_t pos) { return tag_at(songbuf, pos); }

void find_tag_lines(std::string_view lyrics, std::vector<size_t>& starts) {
  for (size_t at = 0; at < lyrics.size();) {
    if (tag_at(lyrics, at)) starts.push_back(at);
    at += find_byte(lyrics.data() + at, lyrics.size() - at, '\n') + 1;
  }
}

void set_lyrics(std::string_view lyrics) {
  own_lyrics.assign(lyrics);
  own_tag_lines.clear();
  find_tag_lines(own_lyrics, own_tag_lines);
  songbuf = own_lyrics;
  stanzas = {own_tag_lines.data(), own_tag_lines.size(), 0};
  sbp = 0;
}

bool get_stanza() {
  const std::string_view lyrics = songbuf;
  const size_t size = lyrics.size();
  if (sbp >= size) return false;
  const size_t* tag_lines = stanzas.tag_lines;
  // The stanza begins with its head line: a tag line, or the first line of
  // lyrics that do not begin with one, which belongs to no stanza.
  const size_t head = sbp;
  const bool tagged = stanzas.next < stanzas.count && tag_lines[stanzas.next] == head;
  if (tagged) ++stanzas.next;
  const size_t head_end = head + find_byte(lyrics.data() + head, size - head, '\n');
  if (tagged) {
    size_t space = head + find_byte(lyrics.data() + head, head_end - head, ' ');
    size_t suffix = space < head_end ? space + 1 : head_end;
    store_escape(tag_slot, lyrics.substr(head, space - head));
    store_escape(suffix_slot, lyrics.substr(suffix, head_end - suffix));
  } else {
    store_escape(tag_slot, "");
    store_escape(suffix_slot, "");
  }

  // The stanza's lines run up to the next tag line or the lyrics' end. An
  // empty line that ends the lyrics after a line feed belongs to it, so
  // its text is the lines as they stand, each line feed replaced by the
  // Line separator; before a tag line, the last line's feed is not part
  // of it.
  const size_t from = head_end < size ? head_end + 1 : size;
  size_t stop = size, to = size;
  if (stanzas.next < stanzas.count) {
    stop = tag_lines[stanzas.next];
    to = stop > from ? stop - 1 : stop;
  }
  bool percent_sign = join_lines(lyrics.substr(from, to - from), size - from,
                                 *escape[separator_slot], writable_escape(stanza_text_slot));
  percent[stanza_text_slot] = percent_sign ? Percent::some : Percent::none;
  sbp = stop;
  return true;
}

}  // namespace lyricrtf
