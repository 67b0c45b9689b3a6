#include "report/stanzas.h"

#include <string>
#include <string_view>

#include "report/songs.h"
#include "template/store.h"

namespace lyricrtf {

namespace {

static_assert(tags[0][0] == 'V' && tags[1][0] == 'C' && tags[2][0] == 'B' && tags[3][0] == 'I' &&
                  tags[4][0] == 'E' && tags[5][0] == 'S' && tags[6][0] == 'T',
              "is_tag picks the tag by its first letter");

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// End of the line that begins at `pos`: its line feed, or the lyrics' end.
size_t line_end(size_t pos) {
  size_t end = songbuf.find('\n', pos);
  return end == std::string::npos ? songbuf.size() : end;
}

// Position of the line after the one that ends at `end`, or the lyrics' end.
size_t next_line(size_t end) { return end < songbuf.size() ? end + 1 : end; }

}  // namespace

int is_tag(size_t pos) {
  std::string_view rest = std::string_view(songbuf).substr(pos);
  if (rest.empty()) return 0;
  // The tag names begin with seven different letters, so the first letter
  // tells which name to compare.
  int tag;
  switch (rest[0] | 0x20) {
    case 'v': tag = 1; break;
    case 'c': tag = 2; break;
    case 'b': tag = 3; break;
    case 'i': tag = 4; break;
    case 'e': tag = 5; break;
    case 's': tag = 6; break;
    case 't': tag = 7; break;
    default: return 0;
  }
  std::string_view name = tags[tag - 1];
  if (rest.size() <= name.size() || !same_name(rest.substr(0, name.size()), name)) return 0;
  char after = rest[name.size()];
  if (after == '\n') return tag;
  if (after == ' ' && rest.size() > name.size() + 1) {
    char next = rest[name.size() + 1];
    if (is_digit(next) || next == '(') return tag;
  }
  return 0;
}

bool get_stanza() {
  if (sbp >= songbuf.size()) return false;

  size_t end = line_end(sbp);
  if (is_tag(sbp)) {
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

  // Collect lines up to the next tag line; an empty line that ends the
  // lyrics after a line feed is collected like any other.
  const std::string& separator = *escape[separator_slot];
  std::string& text = writable_escape(stanza_text_slot);
  text.clear();
  bool collected = false;
  while (!is_tag(sbp)) {
    end = line_end(sbp);
    text.append(songbuf, sbp, end - sbp);
    text.append(separator);
    collected = true;
    if (end == songbuf.size()) {
      sbp = end;
      break;
    }
    sbp = end + 1;
  }
  if (collected) text.resize(text.size() - separator.size());
  return true;
}

}  // namespace lyricrtf
