// Song records: the heading lines, the title, the lyrics and the three
// lines after them, read one record at a time as the song loop asks.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "report/reader.h"

namespace lyricrtf {

// The lyrics of the current song record, line by line, where the report's
// window holds them: they stay there until the next song record is read.
// Empty when the record has no lyrics or is passed over.
struct Lyrics {
  const Report* report = nullptr;
  std::vector<Span> lines;
  size_t size = 0;              // the bytes of the record, its lines' ends and all
  std::vector<size_t> escapes;  // the record's marks (Report::marks), then npos
  size_t next_escape = 0;       // the first of them that no stanza has passed
  bool clean = false;           // the record holds nothing to escape
  bool percent = false;         // the record holds a '%'
};

// Titles on the error stream. Going to a file or a pipe they wait here
// and go a few KiB at a time: a write for each took 1.5% of the
// instructions of a conversion. A terminal shows each as it comes.
struct Titles {
  bool at_once = true;  // the error stream is a terminal
  // Writes them as the console has them: the driver's. Without it they
  // are written as they are: 8-bit codes, or UTF-8 in a declared format.
  void (*show)(std::string_view titles, bool utf8) = nullptr;
  std::string shown;  // shown[0, size) waits; it only grows
  size_t size = 0;
  bool utf8 = false;  // what waits is UTF-8
};

// What the song and stanza loops change as they read: the current lyrics
// and the cursor into them, the titles waiting, and the stanza joined last.
struct Song {
  Lyrics songbuf;
  size_t sbp = 0;  // the next line of songbuf not yet cut into a stanza
  Titles titles;
  std::vector<Span> lines;  // the lyrics of the record being read
  PaddedString joined;      // the stanza text that get_stanza joined last
};

// A text of a song record, where the report's window holds it, and whether
// the reader marked nothing in it: nothing to escape (and without a
// format, no '%').
struct RecordText {
  PaddedView text;
  bool clean;
};

// What get_song read of a record: the texts for the slots S, T, A, c and
// N, in that order, and whether the c line begins with a space (which
// empties slot L). They stay in the window until the next record is read.
struct Record {
  std::array<RecordText, 5> texts;
  bool copyright_blank;
  const RecordText& title() const { return texts[1]; }
};

// Whether a mark from `next` on lies within `span`, marks ending with npos;
// moves `next` past the marks before the span. Spans asked in order take
// one walk of the marks.
inline bool holds_mark(const size_t*& next, Span span) {
  while (*next < span.at) ++next;
  return *next < span.at + span.size;
}

// Writes the titles waiting, and any more that get_song writes first.
void write_titles(Titles& titles);

// Reads the next song record, writes its title on the error stream and
// makes its lyrics the current ones. Returns nothing when the report is
// exhausted: an empty line where a record begins, which changes nothing.
std::optional<Record> get_song(Report& in, Song& song);

}  // namespace lyricrtf
