// Stanzas: the lyrics of the current song record cut at their tag lines.
//
// get_stanza hands the stanzas out in order. It cuts them from the lyrics'
// lines as it goes, building each stanza's text with the Line separator;
// or, when the reading thread had the time to cut the lyrics already, it
// takes the stanzas it cut. The Line separator is a template, which does
// not change while the report is read, so both give the same stanzas.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lyricrtf {

// A stanza cut before the stanza loop reached it: its tag word, the rest
// of its tag line and its lines joined by the Line separator lie one after
// another in a text, from `at` on.
struct CutStanza {
  size_t at = 0;
  size_t suffix_size = 0;
  size_t text_size = 0;
  unsigned char tag_size = 0;
  unsigned char tag = 0;      // the tag's number, 0 for none
  bool percent_sign = false;  // whether its joined lines hold a '%'
};

// The lyrics of the current song record. Empty when the record has no
// lyrics or is passed over. The texts lie where their record was read,
// which get_song keeps until the next song record replaces them, or in
// storage of set_lyrics' own. Set only by get_song, set_lyrics and
// clear_song.
struct Lyrics {
  // The lyrics' lines in order, joined by line feeds (no line feed after
  // the last); or, when they are cut already, the text the stanzas lie in.
  std::string_view text;
  bool cut = false;
  const CutStanza* stanzas = nullptr;  // when cut: `count` of them
  size_t count = 0;

  bool empty() const { return cut ? count == 0 : text.empty(); }
};
extern Lyrics songbuf;
// The stanza cursor: the position in songbuf.text of the next line not yet
// cut into a stanza, or its size when the lyrics are used up; for lyrics
// cut already, the next of their stanzas.
extern size_t sbp;
// The tag's number (1 to 7) of the stanza get_stanza handed out last, 0
// when it has no tag line: the number the tag word in slot t names.
extern int stanza_tag;

// The tag's number (1 to 7, the order of `tags`) when the line that begins
// at position `pos` of `lyrics` is a tag line, else 0. A tag line begins
// with a tag name (ASCII case ignored) followed by a line feed, or by a
// space and a digit or '('. The last line of the lyrics is a tag line only
// in the forms with a space.
int is_tag(std::string_view lyrics, size_t pos);

// Cuts `lyrics` (lines joined by line feeds) into the stanzas get_stanza
// would hand out with `separator` as the Line separator: appends them to
// `stanzas`, and their texts to `text`. Touches nothing else, so that the
// reading thread can use it.
void cut_stanzas(std::string_view lyrics, const std::string& separator, std::string& text,
                 std::vector<CutStanza>& stanzas);

// Makes a copy of `lyrics` the current lyrics, the cursor at their start;
// slots that show the old lyrics get copies of their texts first.
void set_lyrics(std::string_view lyrics);

// Hands out the next stanza of the lyrics: its tag word goes to slot t,
// the rest of its tag line to slot n, its lines joined by the Line
// separator to slot z, and the cursor sbp moves past it. The slots show
// the texts where the lyrics, or the stanza joined last, hold them
// (store_view), until other lyrics replace these. Returns false,
// changing nothing, when the lyrics are used up.
bool get_stanza();

}  // namespace lyricrtf
