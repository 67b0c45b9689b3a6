// Tag lines: the lines that begin a stanza of the lyrics.
//
// A tag line begins with a tag name (ASCII case ignored) and then either
// ends, when a line feed follows it in the lyrics, or goes on with a space
// and a digit or '('.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "template/store.h"

namespace lyricrtf {

namespace tag_detail {

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

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace tag_detail

// The length of the longest tag name.
constexpr size_t longest_tag_name = [] {
  size_t longest = 0;
  for (std::string_view name : tags) longest = name.size() > longest ? name.size() : longest;
  return longest;
}();

// Whether a line that begins with `first` and `second` can be a tag line.
// Few lines begin with the first two letters of a tag name; this finds the
// others with one test that does not depend on the line.
inline bool may_be_tag(char first, char second) {
  using namespace tag_detail;
  return (second | 0x20) == second_letters[initial_tags[static_cast<unsigned char>(first)]];
}

namespace tag_detail {

// Whether `text`, of at least `name`'s length, begins with `name`, whose
// first two letters are known to match already.
inline bool has_name(const char* text, std::string_view name) {
  // The names are letters: a character matches one in either case when
  // it equals it with the lower-case bit set.
  for (size_t i = 2; i < name.size(); ++i)
    if ((text[i] | 0x20) != (name[i] | 0x20)) return false;
  return true;
}

// Whether the line goes on after a tag name as a tag line does: a space,
// then a digit or '('.
inline bool has_tag_suffix(char space, char next) {
  return space == ' ' && (is_digit(next) || next == '(');
}

}  // namespace tag_detail

// The tag (1 to 7, the order of `tags`) of the line `line`, given without
// its end, or 0 when it is no tag line. `followed` tells whether a line
// feed follows it in the lyrics: only then is a bare tag name a tag line.
inline int line_tag(std::string_view line, bool followed) {
  using namespace tag_detail;
  if (line.size() < 2 || !may_be_tag(line[0], line[1])) return 0;
  int tag = tag_by_initial(line[0]);
  std::string_view name = tags[static_cast<size_t>(tag) - 1];
  if (line.size() < name.size() || !has_name(line.data(), name)) return 0;
  if (line.size() == name.size()) return followed ? tag : 0;
  if (line.size() > name.size() + 1 && has_tag_suffix(line[name.size()], line[name.size() + 1]))
    return tag;
  return 0;
}

// The tag of the line that begins at `pos` of `lyrics`, or 0. Looks no
// further than the tag name and the two characters after it.
inline int tag_at(std::string_view lyrics, size_t pos) {
  using namespace tag_detail;
  if (pos + 1 >= lyrics.size() || !may_be_tag(lyrics[pos], lyrics[pos + 1])) return 0;
  const char* line = lyrics.data() + pos;
  const size_t rest = lyrics.size() - pos;
  int tag = tag_by_initial(line[0]);
  std::string_view name = tags[static_cast<size_t>(tag) - 1];
  if (rest <= name.size() || !has_name(line, name)) return 0;
  if (line[name.size()] == '\n') return tag;
  if (rest > name.size() + 1 && has_tag_suffix(line[name.size()], line[name.size() + 1])) return tag;
  return 0;
}

}  // namespace lyricrtf
