#include "report/stanzas.h"

#include <string>
#include <string_view>

#include "report/songs.h"
#include "template/store.h"

namespace lyricrtf {

namespace {

// The stanza being assembled; reused across stanzas.
std::string text;

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
  for (size_t p = 0; p < tags.size(); ++p) {
    std::string_view name = tags[p];
    if (rest.size() <= name.size() || !same_name(rest.substr(0, name.size()), name)) continue;
    char after = rest[name.size()];
    if (after == '\n') return static_cast<int>(p) + 1;
    if (after == ' ' && rest.size() > name.size() + 1) {
      char next = rest[name.size() + 1];
      if (is_digit(next) || next == '(') return static_cast<int>(p) + 1;
    }
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
  store_escape(stanza_text_slot, text);
  return true;
}

}  // namespace lyricrtf
