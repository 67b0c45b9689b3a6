#include "report/stanzas.h"

#include <array>
#include <string>

#include "report/songs.h"
#include "template/store.h"
#include "text/bytes.h"

namespace lyricrtf {

int stanza_tag = 0;

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
static_assert(
    [] {
      for (size_t t = 0; t < tags.size(); ++t)
        if (tag_by_initial[static_cast<unsigned char>(tags[t][0])] != t + 1) return false;
      return true;
    }(),
    "each tag name must begin with a letter of its own");

// The tag names are ASCII letters, so a byte matches a name's letter in
// either case exactly when it equals it with the lower-case bit set.
static_assert(
    [] {
      for (std::string_view name : tags)
        for (char c : name)
          if (lower(c) < 'a' || lower(c) > 'z') return false;
      return true;
    }(),
    "tag names must be letters");

std::string joined;  // slot z's text at its start: the stanza joined last

}  // namespace

// Inline here: the stanza loop asks it of every line of the lyrics.
inline int tag_of(std::string_view line, bool last) {
  const int tag = line.empty() ? 0 : tag_by_initial[static_cast<unsigned char>(line[0])];
  if (!tag) return 0;  // most lines
  const std::string_view name = tags[static_cast<size_t>(tag) - 1];
  if (line.size() < name.size()) return 0;
  for (size_t i = 1; i < name.size(); ++i)
    if ((line[i] | 0x20) != (name[i] | 0x20)) return 0;
  if (line.size() == name.size()) return last ? 0 : tag;
  if (line[name.size()] != ' ' || line.size() == name.size() + 1) return 0;
  const char next = line[name.size() + 1];
  return (next >= '0' && next <= '9') || next == '(' ? tag : 0;
}

int is_tag(std::string_view line, bool last) { return tag_of(line, last); }

bool get_stanza() {
  const size_t count = songbuf.lines.size();
  if (sbp >= count) return false;
  const Span* lines = songbuf.lines.data();
  const char* base = text(*songbuf.report, {}).data();
  auto line = [&](size_t i) { return std::string_view(base + lines[i].at, lines[i].size); };

  const std::string_view head = line(sbp);
  stanza_tag = tag_of(head, sbp + 1 == count);
  std::string_view tag, suffix;
  if (stanza_tag) {
    // The tag word is the tag's name, then comes the line's end or a space.
    const size_t name = tags[static_cast<size_t>(stanza_tag) - 1].size();
    tag = head.substr(0, name);
    if (head.size() > name) suffix = head.substr(name + 1);
  }
  // The stanza's lines run to the next tag line: first find them and the
  // room their text takes, then copy them in.
  const size_t first = sbp + 1;
  size_t last = first, size = 0;
  for (; last < count && !tag_of(line(last), last + 1 == count); ++last) size += lines[last].size;
  const std::string_view separator = slot_text(separator_slot);
  if (last > first) size += (last - first - 1) * separator.size();
  if (joined.size() < size) joined.resize(size);
  char* to = joined.data();
  for (size_t i = first; i < last; ++i) {
    if (i > first) {
      copy_bytes(to, separator);
      to += separator.size();
    }
    copy_bytes(to, line(i));
    to += lines[i].size;
  }
  sbp = last;
  store_view(tag_slot, tag);
  store_view(suffix_slot, suffix);
  store_view(stanza_text_slot, std::string_view(joined.data(), size));
  return true;
}

}  // namespace lyricrtf
