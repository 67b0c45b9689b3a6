// Stanzas: the lyrics of the current song record cut at their tag lines, one
// stanza at a time as the stanza loop asks.
#pragma once

#include <array>
#include <string_view>

#include "report/songs.h"

namespace lyricrtf {

// The stanza tag names; the name at position p is tag p + 1, whose
// template is in slot p + 1.
constexpr std::array<std::string_view, 7> tags = {"Verse", "Chorus", "Bridge", "Intro",
                                                  "End",   "Slide",  "Tag"};

// A stanza as get_stanza cut it off: its tag's number (1 to 7, 0 for a
// stanza without a tag line), its tag word, the rest of its tag line, and
// its lines joined by the Line separator. The tag word and suffix lie in
// the report's window, the text in Song::joined, until the next stanza.
struct Stanza {
  int tag = 0;
  PaddedView tag_word;
  RecordText suffix;
  PaddedView text;
  bool plain = false;  // the text holds no '%'
  bool sung = false;   // it has lines to sing, its own or a repeat's
};

// How the lines of a stanza are joined: the Line separator, whether it
// holds no '%', and the declared format that the report's lines are
// written in.
struct Joining {
  PaddedView separator;
  bool separator_plain;
  Format format;
};

// Cuts the next stanza off the current lyrics and moves the cursor past it.
// Lyrics that do not begin with a tag line lose their first line, which
// belongs to no stanza and is not sung. A tag line with no lines of its own
// (another tag line or the end of the lyrics follows it) is a repeat: it
// sings the lines of the latest stanza of the record with the same tag line
// (tag and suffix, ASCII case ignored), or, with an empty suffix, of the
// latest with the same tag; with none, it is not sung. Returns false,
// changing nothing, when the lyrics are used up.
bool get_stanza(Song& song, const Joining& joining, Stanza& stanza);

}  // namespace lyricrtf
