// Song records: the heading lines, the title, the lyrics and the three
// lines after them, read one record at a time.
//
// A report that is a regular file is read by a second thread, up to a few
// hundred records ahead of the song loop: reading and cutting the lyrics
// overlap the expansion. Everything that shows (slots, titles, warnings) still
// happens in get_song, in order. A pipe or a terminal is read only as far
// as the song loop asks.
#pragma once

#include <string>
#include <string_view>

#include "report/reader.h"
#include "report/stanzas.h"  // songbuf, sbp

namespace lyricrtf {

#ifdef _WIN32
constexpr bool utf8_console = false;
#else
constexpr bool utf8_console = true;
#endif

// Forgets the lyrics of any earlier record and stops reading ahead.
void clear_song();

// Which thread cuts the stanzas of records read ahead: the reading thread
// while the song loop is behind it, else the song loop (`adaptive`); tests
// choose one of them for every record.
enum class StanzaSharing { adaptive, reader_cuts, loop_cuts };
extern StanzaSharing stanza_sharing;

// A title as the error stream shows it: 8-bit codes unchanged, or as UTF-8
// (code c as U+00c, 146 as U+2019) for a console that reads UTF-8.
std::string console_text(std::string_view text, bool utf8);

// Takes the next song record: fills the slots S, T, A, c, L and N, writes
// the title on the error stream and makes its lyrics the current ones.
// Returns false when the report is exhausted (an empty line where a record
// begins) or the record's title is empty. Once it has read a report ahead,
// nothing else may read that report.
bool get_song(Report& in);

}  // namespace lyricrtf
