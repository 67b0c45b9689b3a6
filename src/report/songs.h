// Song records: the heading lines, the title, the lyrics and the three
// lines after them, read one record at a time as the song loop asks.
#pragma once

#include <cstdio>
#include <optional>
#include <vector>

#include "report/reader.h"
#include "text/messages.h"

namespace lyricrtf {

// The lyrics of the current song record, line by line, where the report's
// window holds them: they stay there until the next song record is read.
// Empty when the record has no lyrics or is passed over.
struct Lyrics {
  const Report* report = nullptr;
  std::vector<Span> lines;
  size_t size = 0;            // the bytes of the record, its lines' ends and all
  std::vector<size_t> marks;  // the record's marks (Report::marks_in), then npos
  size_t next_mark = 0;       // the first of them that no stanza has passed
  bool clean = false;         // the record holds nothing special to its format
  bool percent = false;       // the record holds a '%'
};

// A stanza of the current record that was sung: its tag (1 to 7), the rest
// of its tag line, and the lines it sang, lyrics lines [first, last).
struct Sung {
  int tag;
  Span suffix;
  size_t first, last;
};

// What the song and stanza loops change as they read: the current lyrics
// and the cursor into them, the stanzas sung of them, and the stanza joined
// last.
struct Song {
  Lyrics songbuf;
  size_t sbp = 0;           // the next line of songbuf not yet cut into a stanza
  std::vector<Sung> sung;   // in order; the next record starts with none
  std::vector<Span> lines;  // the lyrics of the record being read
  PaddedString joined;      // the stanza text that get_stanza joined last
};

// A text of a song record, where the report's window holds it, and whether
// the reader marked nothing in it: nothing special to the format (and
// without a format, no '%').
struct RecordText {
  PaddedView text;
  bool clean;
};

// What get_song read of a record: the texts for the slots S, T, A, c and
// N, and whether the c line begins with a space (which empties slot L).
// They stay in the window until the next record is read.
struct Record {
  RecordText name, title, author, copyright, number;
  bool copyright_blank;
};

// Whether a mark from `next` on lies within `span`, marks ending with npos;
// moves `next` past the marks before the span. Spans asked in order take
// one walk of the marks.
inline bool holds_mark(const size_t*& next, Span span) {
  while (*next < span.at) ++next;
  return *next < span.at + span.size;
}

// Reads the next song record, says its title (and the warnings its lines
// call for) and makes its lyrics the current ones. Returns nothing when the
// report is exhausted: an empty line where a record begins, which changes
// nothing.
std::optional<Record> get_song(Report& in, Song& song, Messages& messages);

}  // namespace lyricrtf
