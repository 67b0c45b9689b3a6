#include "report/stanzas.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "text/bytes.h"

namespace lyricrtf {

namespace {

// The tag names begin with seven different letters, so a line's first byte
// tells the one tag it may begin with: one look per line instead of seven.
constexpr std::array<unsigned char, 256> tag_by_initial = [] {
  std::array<unsigned char, 256> table{};
  for (size_t t = 0; t < tags.size(); ++t) {
    const char initial = lower(tags[t][0]);
    table[static_cast<unsigned char>(initial)] = static_cast<unsigned char>(t + 1);
    table[static_cast<unsigned char>(initial - 'a' + 'A')] = static_cast<unsigned char>(t + 1);
  }
  return table;
}();

// The tag names are ASCII letters, so a byte matches a name's letter in
// either case exactly when it equals it with the lower-case bit set; and a
// name, its space and the next byte fit in one word.
static_assert(
    [] {
      for (size_t t = 0; t < tags.size(); ++t) {
        if (tag_by_initial[static_cast<unsigned char>(tags[t][0])] != t + 1) return false;
        if (tags[t].size() + 2 > 8) return false;
        for (char c : tags[t])
          if (lower(c) < 'a' || lower(c) > 'z') return false;
      }
      return true;
    }(),
    "tag names must be letters, at most six, each with an initial of its own");

// Each tag name as a word of its letters in lower case (the case bits set),
// alone and with the space after it. Entry 0 stands for an initial that
// names no tag, the most common case: its words match no line, so that
// tag_of's compares fail at the first and its branches stay predictable.
// All zeros would match every line and give the same tag, 0, a tenth
// slower.
struct TagWord {
  uint64_t name, name_mask, spaced, spaced_mask, case_bits;
  size_t size;
};

constexpr std::array<TagWord, tags.size() + 1> tag_words = [] {
  std::array<TagWord, tags.size() + 1> words{{{1, ~uint64_t{0}, 1, ~uint64_t{0}, 0, 0}}};
  for (size_t t = 0; t < tags.size(); ++t) {
    TagWord& w = words[t + 1];
    w.size = tags[t].size();
    for (size_t i = 0; i < w.size; ++i) {
      w.name |= uint64_t{static_cast<unsigned char>(lower(tags[t][i]))} << (8 * i);
      w.case_bits |= uint64_t{0x20} << (8 * i);
    }
    w.name_mask = (uint64_t{1} << (8 * w.size)) - 1;
    w.spaced = w.name | uint64_t{' '} << (8 * w.size);
    w.spaced_mask = (uint64_t{1} << (8 * w.size + 8)) - 1;
  }
  return words;
}();

// A line's first eight bytes as one word, the first byte lowest. Past the
// line's end it holds whatever follows, which tag_of's tests of the size
// leave aside. A line lies in the report's window, which holds
// room_past_text bytes after its last character: the load stays inside it.
inline uint64_t first_word(PaddedView line) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte must be the lowest");
  static_assert(sizeof(uint64_t) <= room_past_text);
  uint64_t word;
  std::memcpy(&word, line.data(), sizeof word);
  return word;
}

// The tag's number (1 to 7, the order of `tags`) when `line` is a tag line,
// else 0. A tag line begins with a tag name (ASCII case ignored) followed by
// the line's end, or by a space and a digit or '('.
//
// The stanza loop asks it of every lyrics line, and lyrics lines often begin
// with a tag's initial: a test letter by letter took a mispredicted branch
// on most lines, one masked compare of a word takes none.
inline int tag_of(PaddedView line) {
  // An empty line's first byte is the window's next: it may name a tag,
  // whose size is then never the line's.
  const int tag = tag_by_initial[static_cast<unsigned char>(line.data()[0])];
  const TagWord& t = tag_words[static_cast<size_t>(tag)];
  const uint64_t word = first_word(line) | t.case_bits;
  const unsigned char next = static_cast<unsigned char>(word >> (8 * t.size + 8));
  // The name, a space and a digit or '(' ...
  const bool numbered = line.size() >= t.size + 2 && (word & t.spaced_mask) == t.spaced &&
                        ((next >= '0' && next <= '9') || next == '(');
  // ... or the name alone.
  const bool bare = line.size() == t.size && (word & t.name_mask) == t.name;
  return (numbered | bare) ? tag : 0;
}

// The stanza sung latest with the same tag line as a stanza without lines
// of its own, or with the same tag when its suffix is empty; nullptr when
// there is none.
const Sung* repeated(const Song& song, int tag, std::string_view suffix) {
  const Report& in = *song.songbuf.report;
  for (auto s = song.sung.rbegin(); s != song.sung.rend(); ++s)
    if (s->tag == tag && same_name(in.text(s->suffix).text(), suffix)) return &*s;
  if (suffix.empty())
    for (auto s = song.sung.rbegin(); s != song.sung.rend(); ++s)
      if (s->tag == tag) return &*s;
  return nullptr;
}

}  // namespace

bool get_stanza(Song& song, const Joining& joining, Stanza& stanza) {
  const Lyrics& songbuf = song.songbuf;
  const size_t count = songbuf.lines.size();
  size_t& sbp = song.sbp;
  if (sbp >= count) return false;
  const Span* lines = songbuf.lines.data();
  // The lines lie in the report's window, which does not move while a
  // stanza is cut: its place is looked up once, not for every line.
  const PaddedBuffer::From window = songbuf.report->texts();
  auto line = [&](size_t i) { return window.view(lines[i].at, lines[i].size); };

  const PaddedView head = line(sbp);
  stanza.tag = tag_of(head);
  stanza.tag_word = stanza.suffix.text = {};
  Span suffix;
  if (stanza.tag) {
    // The tag word is the tag's name, then comes the line's end or a space.
    const size_t name = tags[static_cast<size_t>(stanza.tag) - 1].size();
    stanza.tag_word = head.substr(0, name);
    if (head.size() > name) {
      suffix = {lines[sbp].at + name + 1, head.size() - name - 1};
      stanza.suffix.text = head.substr(name + 1, suffix.size);
    }
  }
  stanza.suffix.clean = songbuf.clean;

  // The stanza's lines run to the next tag line, or for a repeat they are
  // the repeated stanza's. They are copied in as they are found, each after
  // a separator: room for them all is made first, so that one loop takes
  // both steps.
  size_t first = sbp + 1, last = count;
  const size_t* next = songbuf.marks.data() + songbuf.next_mark;
  const bool repeat = stanza.tag && (first == count || tag_of(line(first)));
  if (repeat) {
    const Sung* sung = repeated(song, stanza.tag, stanza.suffix.text.text());
    first = sung ? sung->first : first;
    last = sung ? sung->last : first;
    const std::vector<size_t>& marks = songbuf.marks;
    next = &*std::lower_bound(marks.begin(), marks.end() - 1, first < count ? lines[first].at : 0);
  }
  const PaddedView separator = joining.separator;
  stanza.plain = !songbuf.percent && joining.separator_plain;
  // Lines with something special are written as the format writes them;
  // the separator, the template's own, always as it stands.
  const bool formatting = !songbuf.clean && joining.format != Format::none;
  const size_t room = (formatting ? formatted_room(songbuf.size) : songbuf.size) +
                      (last - first) * (separator.size() + room_past_text);
  char* const joined = song.joined.make_room(room);
  char* to = joined;
  size_t end = first;
  for (; end < last && (repeat || !tag_of(line(end))); ++end) {
    copy_with_room(to, separator);
    to += separator.size();
    if (formatting && holds_mark(next, lines[end])) {
      to = put_formatted(to, line(end), joining.format);
    } else {
      copy_with_room(to, line(end));  // a line has room in the window
      to += lines[end].size;
    }
  }
  if (!repeat) {
    song.songbuf.next_mark = static_cast<size_t>(next - songbuf.marks.data());
    sbp = end;
  } else {
    ++sbp;
  }
  // The joined text starts after the first separator.
  song.joined.resize(static_cast<size_t>(to - joined));
  const PaddedView all = song.joined.view();
  stanza.text =
      end > first ? all.substr(separator.size(), all.size() - separator.size()) : PaddedView();
  // The first line of lyrics without a tag line, alone, has nothing to
  // show, and is not sung.
  stanza.sung = end > first && (stanza.tag || !stanza.text.empty());
  if (stanza.tag && stanza.sung) song.sung.push_back({stanza.tag, suffix, first, end});
  return true;
}

}  // namespace lyricrtf
