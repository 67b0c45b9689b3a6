// The report decoder and line reader on any bytes, as 8-bit codes and as
// Unicode: every character is a code from 0 to 254, or a Unicode scalar
// value; lines hold neither a line feed nor a zero, and read as Unicode they
// are well-formed UTF-8.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "driver/terminal.h"
#include "report/reader.h"
#include "text/characters.h"

namespace {

void read(const uint8_t* data, size_t size, lyricrtf::Format format) {
  const bool unicode = format != lyricrtf::Format::none;
  FILE* f1 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* f2 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  lyricrtf::Report characters(f1, format), lines(f2, format);
  size_t count = 0;
  for (int c = lyricrtf::ugetc(characters); c != EOF; c = lyricrtf::ugetc(characters)) {
    if (c < 0 || (unicode ? !lyricrtf::is_scalar(static_cast<char32_t>(c)) : c > 254)) std::abort();
    ++count;
  }
  if (count > size) std::abort();
  lyricrtf::Span line;
  size_t total = 0;
  std::vector<size_t> marks;
  while (lyricrtf::get_line(lines, line)) {
    std::string_view text = lines.text(line).text();
    if (text.find('\n') != std::string_view::npos || text.find('\0') != std::string_view::npos)
      std::abort();
    if (unicode && lyricrtf::valid_utf8(text) != text) std::abort();
    // Each character special to the format is marked, and nothing else.
    marks.clear();
    lines.marks_in(line, marks);
    const size_t* mark = marks.data();
    for (size_t i = 0; i < text.size();) {
      const size_t at = i;
      const char32_t c =
          unicode ? lyricrtf::next_utf8(text, i) : static_cast<unsigned char>(text[i++]);
      const bool marked = *mark == line.at + at;
      if (marked != lyricrtf::is_special(c, format)) std::abort();
      if (marked) ++mark;
    }
    if (*mark != std::string_view::npos) std::abort();
    total += text.size() + 1;
  }
  // A stray byte takes two as UTF-8, a lead byte cut off by the end up to four.
  if (total > (unicode ? 2 * size + 4 : size) + 1) std::abort();
  std::fclose(f1);
  std::fclose(f2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  read(data, size, lyricrtf::Format::none);
  constexpr lyricrtf::Format declared[] = {lyricrtf::Format::rtf, lyricrtf::Format::html,
                                           lyricrtf::Format::csv, lyricrtf::Format::text};
  read(data, size, declared[data[0] & 3]);
  return 0;
}
