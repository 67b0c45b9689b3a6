// Stanzas: the lyrics of the current song record cut at their tag lines, one
// stanza at a time as the stanza loop asks.
#pragma once

#include <string_view>

namespace lyricrtf {

// The tag's number (1 to 7) of the stanza get_stanza handed out last, 0
// when it has no tag line: the number the tag word in slot t names.
extern int stanza_tag;

// Cuts the next stanza off the current lyrics: its tag word goes to slot t,
// the rest of its tag line to slot n, its lines joined by the Line separator
// to slot z, and the cursor sbp moves past it. Lyrics that do not begin with
// a tag line lose their first line, which belongs to no stanza. Returns
// false, changing nothing, when the lyrics are used up.
bool get_stanza();

}  // namespace lyricrtf
