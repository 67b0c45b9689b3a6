// Stanzas: the lyrics of the current song record cut at their tag lines.
//
// get_stanza hands the stanzas out in order; it finds where each one ends
// as it builds the stanza's text with the Line separator of the moment.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lyricrtf {

// The lyrics of the current song record: its lines in order, joined by
// line feeds (no line feed after the last). Empty when the record has no
// lyrics or is passed over. The text lies where its record was read, which
// get_song keeps until the next song record replaces it, or in storage of
// set_lyrics' own. Set only by get_song, set_lyrics and clear_song.
extern std::string_view songbuf;
// The stanza cursor: the position in songbuf of the next line not yet cut
// into a stanza, or songbuf.size() when the lyrics are used up.
extern size_t sbp;

// The tag's number (1 to 7, the order of `tags`) when the line that begins
// at position `pos` of songbuf is a tag line, else 0. A tag line begins with
// a tag name (ASCII case ignored) followed by a line feed, or by a space and
// a digit or '('. The last line of the lyrics is a tag line only in the
// forms with a space.
int is_tag(size_t pos);

// Makes a copy of `lyrics` the current lyrics, the cursor at their start.
void set_lyrics(std::string_view lyrics);

// Hands out the next stanza of the lyrics: its tag word goes to slot t,
// the rest of its tag line to slot n, its lines joined by the Line
// separator to slot z, and the cursor sbp moves past it. Returns false,
// changing nothing, when the lyrics are used up.
bool get_stanza();

}  // namespace lyricrtf
