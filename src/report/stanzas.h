// Stanzas: the lyrics of the current song record cut at their tag lines.
//
// The lyrics are cut once, when their record is read (possibly ahead, in
// another thread); get_stanza then hands the stanzas out in order and
// builds each one's text with the Line separator of the moment.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lyricrtf {

// The lyrics of the current song record: its lines in order, joined by
// line feeds (no line feed after the last). Empty when the record has no
// lyrics or is passed over. Written only by get_song, set_lyrics and
// clear_song, which keep `stanzas` in step with it.
extern std::string songbuf;
// The stanza cursor: the position in songbuf of the next line not yet cut
// into a stanza, or songbuf.size() when the lyrics are used up.
extern size_t sbp;

// One stanza of the lyrics, as positions in them: its tag word, the rest of
// its tag line, and its lines with the line feeds in them.
struct Cut {
  size_t tag = 0, tag_size = 0;        // for slot t
  size_t suffix = 0, suffix_size = 0;  // for slot n
  size_t from = 0, to = 0;             // its lines: lyrics[from, to)
  size_t first_feed = 0;               // the line feeds in them: feeds[first_feed, ...)
  size_t feed_count = 0;
  size_t stop = 0;  // the cursor after the stanza
};

// The stanzas of one song's lyrics, in order.
struct Stanzas {
  std::vector<Cut> cuts;
  std::vector<size_t> feeds;  // the line feeds the stanzas' texts hold
  size_t next = 0;            // the next stanza get_stanza hands out
};

// The stanzas of songbuf.
extern Stanzas stanzas;

// The tag's number (1 to 7, the order of `tags`) when the line that begins
// at position `pos` of songbuf is a tag line, else 0. A tag line begins with
// a tag name (ASCII case ignored) followed by a line feed, or by a space and
// a digit or '('. The last line of the lyrics is a tag line only in the
// forms with a space.
int is_tag(size_t pos);

// Cuts `lyrics`, whose line feeds lie at feeds[0, count), into stanzas and
// appends them to `cuts`; each cut names its line feeds by their index in
// `feeds`. Touches nothing else, so that a reading thread can use it.
void cut_stanzas(std::string_view lyrics, const size_t* feeds, size_t count,
                 std::vector<Cut>& cuts);

// Makes `lyrics` the current lyrics, cut into stanzas, the cursor at their
// start.
void set_lyrics(std::string_view lyrics);

// Hands out the next stanza of the lyrics: its tag word goes to slot t,
// the rest of its tag line to slot n, its lines joined by the Line
// separator to slot z, and the cursor sbp moves past it. Returns false,
// changing nothing, when the lyrics are used up.
bool get_stanza();

}  // namespace lyricrtf
