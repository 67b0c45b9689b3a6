// The report decoder and line reader on any bytes, as 8-bit codes and as
// Unicode: every character is a code from 0 to 254, or a Unicode scalar
// value; lines hold neither a line feed nor a zero, and read as Unicode they
// are well-formed UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "report/reader.h"
#include "text/characters.h"

namespace {

void read(const uint8_t* data, size_t size, bool unicode) {
  FILE* f1 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* f2 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  lyricrtf::Report characters(f1, unicode), lines(f2, unicode);
  size_t count = 0;
  for (int c = lyricrtf::ugetc(characters); c != EOF; c = lyricrtf::ugetc(characters)) {
    if (c < 0 || (unicode ? !lyricrtf::is_scalar(static_cast<char32_t>(c)) : c > 254)) std::abort();
    ++count;
  }
  if (count > size) std::abort();
  lyricrtf::Span line;
  size_t total = 0;
  while (lyricrtf::get_line(lines, line)) {
    std::string_view text = lyricrtf::text(lines, line);
    if (text.find('\n') != std::string_view::npos || text.find('\0') != std::string_view::npos)
      std::abort();
    if (unicode && lyricrtf::valid_utf8(text) != text) std::abort();
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
  read(data, size, false);
  read(data, size, true);
  return 0;
}
