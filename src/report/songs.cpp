#include "report/songs.h"

#include <algorithm>
#include <cstdio>


namespace lyricrtf {

namespace {

constexpr std::string_view heading = "Schedule Detail";
constexpr std::string_view name_prefix = "for ";
constexpr std::string_view end_of_lyrics = " ";  // six spaces in the file

// Compared from the end, byte by byte: a title's last byte already tells,
// where a call to compare the whole tail cost more than the test.
bool ends_with(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t k = 1; k <= tail.size(); ++k)
    if (text[text.size() - k] != tail[tail.size() - k]) return false;
  return true;
}

// Writes a warning after the titles before it.
void warn(Titles& titles, const char* message) {
  write_titles(titles);
  std::fputs(message, stderr);
}

// The title on the error stream, with its line end: 8-bit codes, or in a
// declared format UTF-8.
void write_title(Titles& titles, PaddedView title, bool utf8) {
  if (titles.shown.size() < titles.size + title.size() + 1 + room_past_text)
    titles.shown.resize(titles.size + title.size() + 1 + room_past_text);
  copy_with_room(titles.shown.data() + titles.size, title);
  titles.size += title.size();
  titles.shown[titles.size++] = '\n';
  titles.utf8 = utf8;
  if (titles.at_once || titles.size >= 4096) write_titles(titles);
}

// Reads the lyrics into `lines`, up to the end marker; returns whether the
// file ended first. A line that begins at the end of the file is never a
// lyrics line, so a cut-off record ends there.
bool read_lyrics(Report& in, std::vector<Span>& lines, Span title, bool& passed_over) {
  lines.clear();
  // Read straight into the list: a Span copied from the stack after
  // get_line's two stores was loaded whole before they had landed, and that
  // stall took a twentieth of a conversion's time.
  for (bool first = true;; first = false) {
    Span& line = lines.emplace_back();
    const bool more = get_line(in, line);
    if (first && text(in, line).text() == text(in, title).text()) passed_over = true;  // slides repeat it
    if (!more || text(in, line).text() == end_of_lyrics) {
      lines.pop_back();
      return !more;
    }
  }
}

}  // namespace

void write_titles(Titles& titles) {
  if (titles.size == 0) return;
  const std::string_view waiting(titles.shown.data(), titles.size);
  if (titles.show)
    titles.show(waiting, titles.utf8);
  else
    std::fwrite(waiting.data(), 1, waiting.size(), stderr);
  titles.size = 0;
}

std::optional<Record> get_song(Report& in, Song& song) {
  Span line;
  if (!get_line(in, line) || line.size == 0) return std::nullopt;
  // A record begins: the last one's lyrics may go.
  keep_from(in, line);
  const bool strange_heading = text(in, line).text() != heading;

  get_line(in, line);
  const std::string_view heading_line = text(in, line).text();
  const bool damaged = heading_line.substr(0, name_prefix.size()) != name_prefix;
  // The schedule name runs from the fifth character to the first '.'. Held
  // as UTF-8, a character's bytes after its first are never where one
  // begins: a name that does not begin "for " loses whole characters.
  size_t skipped = 0;
  for (size_t characters = 0; skipped < heading_line.size(); ++skipped) {
    const bool begins = in.format == Format::none || (heading_line[skipped] & 0xC0) != 0x80;
    if (begins && characters++ == name_prefix.size()) break;
  }
  const std::string_view rest = heading_line.substr(skipped);
  const Span name = {line.at + skipped, std::min(rest.size(), rest.find('.'))};

  Span title;
  get_line(in, title);
  const std::string_view title_text = text(in, title).text();
  bool passed_over = ends_with(title_text, ".ppt") || ends_with(title_text, ".pptx");

  std::vector<Span>& lines = song.lines;
  const bool cut_off = read_lyrics(in, lines, title, passed_over);
  // A single empty line is no lyrics: its line feed is the lyrics' end.
  if (passed_over || (lines.size() == 1 && lines[0].size == 0)) lines.clear();

  Span author, copyright, number;
  get_line(in, author);
  // No trailing spaces: a line of spaces only gives the empty text.
  author.size = text(in, author).text().find_last_not_of(' ') + 1;
  get_line(in, copyright);
  const bool copyright_blank = copyright.size > 0 && text(in, copyright).data()[0] == ' ';
  get_line(in, number);

  // The reader marked each '%' of the record, and in a declared format each
  // character to escape: most records hold none, and every text that holds
  // none is borrowed as it stands. Offsets from the record's start, as a
  // Span's, ended by npos.
  const std::string_view record = text(in, {0, number.at + number.size}).text();
  Lyrics& songbuf = song.songbuf;
  std::vector<size_t>& marks = songbuf.escapes;
  marks.clear();
  size_t& m = in.next_mark;
  while (m < in.marks.size() && in.marks[m] < in.keep) ++m;
  for (; m < in.marks.size() && in.marks[m] < in.keep + record.size(); ++m)
    marks.push_back(in.marks[m] - in.keep);
  marks.push_back(std::string_view::npos);
  // The texts are asked for in the order they stand: one walk of the marks.
  const size_t* mark = marks.data();
  auto read = [&](Span s) { return RecordText{text(in, s), !holds_mark(mark, s)}; };
  if (strange_heading) warn(song.titles, "Warning: this doesn't look like Schedule output.\n");
  if (damaged) warn(song.titles, "Warning: this output looks damaged.\n");
  const Record read_record = {{read(name), read(title), read(author), read(copyright), read(number)},
                              copyright_blank};
  write_title(song.titles, text(in, title), in.format != Format::none);
  if (cut_off) warn(song.titles, "Warning: the report ends inside a song record.\n");

  songbuf.report = &in;
  songbuf.size = record.size();
  songbuf.next_escape = 0;
  songbuf.clean = marks.size() == 1;
  songbuf.percent =
      std::any_of(marks.begin(), marks.end() - 1, [&](size_t at) { return record[at] == '%'; });
  songbuf.lines.swap(lines);
  song.sbp = 0;
  return read_record;
}

}  // namespace lyricrtf
