#include "report/songs.h"

#include <algorithm>
#include <string_view>

namespace lyricrtf {

namespace {

constexpr std::string_view heading = "Schedule Detail";
constexpr std::string_view name_prefix = "for ";
// The line of six spaces that ends the lyrics, as the line reader returns
// it: what is left after the margin.
constexpr std::string_view end_marker = "      ";
static_assert(end_marker.size() > max_margin);
constexpr std::string_view end_of_lyrics = end_marker.substr(max_margin);

// Compared from the end, byte by byte: a title's last byte already tells,
// where a call to compare the whole tail cost more than the test.
bool ends_with(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t k = 1; k <= tail.size(); ++k)
    if (text[text.size() - k] != tail[tail.size() - k]) return false;
  return true;
}

// Reads the lyrics into `lines`, up to the end marker; returns whether the
// file ended first. A line that begins at the end of the file is never a
// lyrics line, so a cut-off record ends there.
bool read_lyrics(Report& in, std::vector<Span>& lines, Span title, bool& passed_over) {
  lines.clear();
  // Read straight into the list: a Span copied from the stack after
  // get_line's two stores was loaded whole before they had landed.
  for (bool first = true;; first = false) {
    Span& line = lines.emplace_back();
    const bool more = get_line(in, line);
    if (first && in.text(line).text() == in.text(title).text())
      passed_over = true;  // slides repeat it
    if (!more || in.text(line).text() == end_of_lyrics) {
      lines.pop_back();
      return !more;
    }
  }
}

}  // namespace

std::optional<Record> get_song(Report& in, Song& song, Messages& messages) {
  Span line;
  if (!get_line(in, line) || line.size == 0) return std::nullopt;
  // A record begins: the last one's lyrics may go.
  in.keep_from(line);
  const bool strange_heading = in.text(line).text() != heading;

  get_line(in, line);
  const std::string_view heading_line = in.text(line).text();
  const bool damaged = heading_line.substr(0, name_prefix.size()) != name_prefix;
  // The schedule name runs from the fifth character to the first '.'. Held
  // as UTF-8, a character's bytes after its first are never where one
  // begins: a name that does not begin "for " loses whole characters.
  size_t skipped = 0;
  for (size_t characters = 0; skipped < heading_line.size(); ++skipped) {
    const bool begins = in.format() == Format::none || (heading_line[skipped] & 0xC0) != 0x80;
    if (begins && characters++ == name_prefix.size()) break;
  }
  const std::string_view rest = heading_line.substr(skipped);
  const Span name = {line.at + skipped, std::min(rest.size(), rest.find('.'))};

  Span title;
  get_line(in, title);
  const std::string_view title_text = in.text(title).text();
  bool passed_over = ends_with(title_text, ".ppt") || ends_with(title_text, ".pptx");

  std::vector<Span>& lines = song.lines;
  const bool cut_off = read_lyrics(in, lines, title, passed_over);
  // A single empty line is no lyrics: its line feed is the lyrics' end.
  if (passed_over || (lines.size() == 1 && lines[0].size == 0)) lines.clear();

  Span author, copyright, number;
  get_line(in, author);
  // No trailing spaces: a line of spaces only gives the empty text.
  author.size = in.text(author).text().find_last_not_of(' ') + 1;
  get_line(in, copyright);
  const bool copyright_blank = copyright.size > 0 && in.text(copyright).data()[0] == ' ';
  get_line(in, number);

  // The reader marked each '%' of the record, and in a declared format each
  // character special to it: most records hold none, and every text that
  // holds none is borrowed as it stands. Offsets from the record's start,
  // as a Span's, ended by npos.
  const Span record = {0, number.at + number.size};
  Lyrics& songbuf = song.songbuf;
  std::vector<size_t>& marks = songbuf.marks;
  marks.clear();
  in.marks_in(record, marks);
  // The texts are asked for in the order they stand: one walk of the marks.
  const size_t* mark = marks.data();
  auto read = [&](Span s) { return RecordText{in.text(s), !holds_mark(mark, s)}; };
  if (strange_heading) messages.warning("Warning: this doesn't look like Schedule output.\n");
  if (damaged) messages.warning("Warning: this output looks damaged.\n");
  const Record read_record = {read(name),      read(title),  read(author),
                              read(copyright), read(number), copyright_blank};
  messages.title(in.text(title), in.format() != Format::none);
  // A read that failed is the driver's to tell, in its own words.
  if (cut_off && !in.failed()) messages.warning("Warning: the report ends inside a song record.\n");

  songbuf.report = &in;
  songbuf.size = record.size;
  songbuf.next_mark = 0;
  songbuf.clean = marks.size() == 1;
  const std::string_view record_text = in.text(record).text();
  songbuf.percent = std::any_of(marks.begin(), marks.end() - 1,
                                [&](size_t at) { return record_text[at] == '%'; });
  songbuf.lines.swap(lines);
  song.sbp = 0;
  song.sung.clear();
  return read_record;
}

}  // namespace lyricrtf
