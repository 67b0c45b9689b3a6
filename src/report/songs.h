// Song records: the heading lines, the title, the lyrics and the three
// lines after them, read one record at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "report/reader.h"

namespace lyricrtf {

// The lyrics of the current song record: its lines in order, joined by
// line feeds (no line feed after the last). Empty when the record has no
// lyrics or is passed over.
extern std::string songbuf;
// The stanza cursor: the position in songbuf of the next line not yet cut
// into a stanza, or songbuf.size() when the lyrics are used up.
extern size_t sbp;

#ifdef _WIN32
constexpr bool utf8_console = false;
#else
constexpr bool utf8_console = true;
#endif

// Forgets the lyrics of any earlier record: nothing has been read yet.
void clear_song();

// A title as the error stream shows it: 8-bit codes unchanged, or as UTF-8
// (code c as U+00c, 146 as U+2019) for a console that reads UTF-8.
std::string console_text(std::string_view text, bool utf8);

// Reads the next song record into the slots S, T, A, c, L and N and its
// lyrics into songbuf, and writes its title on the error stream. Returns
// false when the report is exhausted (an empty line where a record
// begins) or the record's title is empty.
bool get_song(Report& in);

}  // namespace lyricrtf
