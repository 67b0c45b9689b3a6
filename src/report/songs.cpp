#include "report/songs.h"

#include <cstdio>

#include "template/store.h"

namespace lyricrtf {

std::string songbuf;
size_t sbp = 0;

namespace {

// The line last read; reused so that reading a record allocates nothing
// once the buffers have grown to the longest line.
std::string line;

constexpr std::string_view heading = "Schedule Detail";
constexpr std::string_view name_prefix = "for ";
constexpr std::string_view end_of_lyrics = " ";  // six spaces in the file

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The schedule name of a "for " line: from its fifth character up to the
// first '.' after it, or to the line's end.
std::string_view schedule_name(std::string_view for_line) {
  if (for_line.size() <= name_prefix.size()) return {};
  std::string_view name = for_line.substr(name_prefix.size());
  return name.substr(0, name.find('.'));
}

void warn(const char* message) { std::fputs(message, stderr); }

// The title on the error stream, with its line end.
void write_title(const std::string& title) {
  bool plain = true;
  for (char c : title) plain = plain && static_cast<unsigned char>(c) < 0x80;
  if (plain || !utf8_console) {
    std::fwrite(title.data(), 1, title.size(), stderr);
  } else {
    std::string shown = console_text(title, true);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
  }
  std::fputc('\n', stderr);
}

}  // namespace

void clear_song() {
  songbuf.clear();
  sbp = 0;
}

std::string console_text(std::string_view text, bool utf8) {
  std::string shown;
  if (!utf8) return shown.assign(text);
  shown.reserve(text.size() * 2);
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      shown.push_back(ch);
    } else if (c == 146) {
      shown.append("\xE2\x80\x99");  // U+2019, the report's own quote
    } else {
      shown.push_back(static_cast<char>(0xC0 | (c >> 6)));
      shown.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return shown;
}

bool get_song(Report& in) {
  if (!get_line(in, line) || line.empty()) return false;
  if (line != heading) warn("Warning: this doesn't look like Schedule output.\n");

  get_line(in, line);
  if (line.compare(0, name_prefix.size(), name_prefix) != 0)
    warn("Warning: this output looks damaged.\n");
  store_escape(schedule_name_slot, schedule_name(line));

  get_line(in, line);
  store_escape(title_slot, line);
  const std::string& title = *escape[title_slot];
  write_title(title);

  // Slide shows in the schedule carry no lyrics of their own.
  bool passed_over = ends_with(title, ".ppt") || ends_with(title, ".pptx");

  songbuf.clear();
  bool more = get_line(in, line);
  if (line == title) passed_over = true;

  // The lyrics run to the end marker; the lines after the first are read
  // straight into the song buffer. A line that begins at the end of the
  // file is never a lyrics line, so a cut-off record ends there.
  if (line != end_of_lyrics) {
    if (more) songbuf.append(line).push_back('\n');
    while (more) {
      if (append_lines(in, songbuf, end_of_lyrics)) break;
      size_t start = songbuf.size();
      more = append_line(in, songbuf);
      if (std::string_view(songbuf).substr(start) == end_of_lyrics) {
        songbuf.resize(start);
        break;
      }
      if (more) songbuf.push_back('\n');
    }
    if (!more) warn("Warning: the report ends inside a song record.\n");
  }
  if (!songbuf.empty()) songbuf.pop_back();

  get_line(in, line);
  line.erase(line.find_last_not_of(' ') + 1);
  store_escape(author_slot, line);

  get_line(in, line);
  store_escape(copyright_slot, line);
  if (!line.empty() && line[0] == ' ')
    store_escape(label_slot, "");
  else
    store_escape(label_slot, *escape[label_text_slot]);

  get_line(in, line);
  store_escape(number_slot, line);

  sbp = 0;
  if (passed_over) songbuf.clear();
  return !title.empty();
}

}  // namespace lyricrtf
