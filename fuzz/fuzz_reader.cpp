// The report decoder and line reader on any bytes: every character is a
// code from 0 to 254, and lines hold neither a line feed nor a zero.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "report/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* f1 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* f2 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  lyricrtf::Report characters(f1), lines(f2);
  size_t count = 0;
  for (int c = lyricrtf::ugetc(characters); c != EOF; c = lyricrtf::ugetc(characters)) {
    if (c < 0 || c > 254) std::abort();
    ++count;
  }
  if (count > size) std::abort();
  lyricrtf::Span line;
  size_t total = 0;
  while (lyricrtf::get_line(lines, line)) {
    std::string_view text = lyricrtf::text(lines, line);
    if (text.find('\n') != std::string_view::npos || text.find('\0') != std::string_view::npos)
      std::abort();
    total += text.size() + 1;
  }
  if (total > size + 1) std::abort();
  std::fclose(f1);
  std::fclose(f2);
  return 0;
}
