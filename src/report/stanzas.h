// Stanzas: the lyrics of the current song record cut at their tag lines.
#pragma once

#include <cstddef>

namespace lyricrtf {

// The tag's number (1 to 7, the order of `tags`) when the line that begins
// at position `pos` of songbuf is a tag line, else 0. A tag line begins with
// a tag name (ASCII case ignored) followed by a line feed, or by a space and
// a digit or '('. The last line of the lyrics is a tag line only in the
// forms with a space.
int is_tag(size_t pos);

// Cuts the next stanza off the lyrics at the cursor sbp: its tag word goes
// to slot t, the rest of its tag line to slot n, its lines joined by the
// Line separator to slot z. Returns false, changing nothing, when the
// lyrics are used up.
bool get_stanza();

}  // namespace lyricrtf
