// Song records: the heading lines, the title, the lyrics and the three
// lines after them, read one record at a time as the song loop asks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/reader.h"

namespace lyricrtf {

// The lyrics of the current song record, line by line, where the report's
// window holds them: they stay there until the next song record is read.
// Empty when the record has no lyrics or is passed over.
struct Lyrics {
  const Report* report = nullptr;
  std::vector<Span> lines;
  size_t size = 0;       // the bytes of the record, its lines' ends and all
  std::vector<size_t> escapes;  // the record's marks (Report::marks), then npos
  size_t next_escape = 0;       // the first of them that no stanza has passed
  bool clean = false;           // the record holds nothing to escape
  bool percent = false;  // the record holds a '%'
};
extern Lyrics songbuf;
extern size_t sbp;  // the next line of songbuf not yet cut into a stanza

// Whether a mark from `next` on lies within `span`, marks ending with npos;
// moves `next` past the marks before the span. Spans asked in order take
// one walk of the marks.
inline bool holds_mark(const size_t*& next, Span span) {
  while (*next < span.at) ++next;
  return *next < span.at + span.size;
}

// Forgets the lyrics of any earlier record.
void clear_song();

// Writes the titles that get_song has not written yet to the error stream;
// whatever else goes there while the song loop runs waits for them. With
// `titles_at_once` (a terminal shows them as progress) none wait.
void write_titles();
extern bool titles_at_once;

// Reads the next song record: fills the slots S, T, A, c, L and N, writes
// the title on the error stream and makes its lyrics the current ones.
// Returns false when the report is exhausted (an empty line where a record
// begins, which changes nothing) or the record's title is empty.
bool get_song(Report& in);

}  // namespace lyricrtf
