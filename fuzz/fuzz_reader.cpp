// The report decoder and line reader: characters and lines of any bytes,
// and the bulk lyrics reader, which must give the lines the line reader
// gives; the view append_line gives of a line must be the text it appended.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "report/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* f1 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* f2 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  FILE* f3 = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  lyricrtf::Report characters(f1), lines(f2), bulk(f3);

  size_t count = 0;
  for (int c = lyricrtf::ugetc(characters); c != EOF; c = lyricrtf::ugetc(characters)) {
    if (c < 0 || c > 254) std::abort();
    ++count;
  }
  if (count > size) std::abort();

  std::string by_line, line;
  while (lyricrtf::get_line(lines, line)) by_line += line + "\n";
  std::string by_bulk;
  for (;;) {
    if (lyricrtf::append_lines(bulk, by_bulk, " ")) {
      by_bulk += " \n";  // the stop line, consumed but not appended
      continue;
    }
    size_t start = by_bulk.size();
    std::string_view shown;
    if (!lyricrtf::append_line(bulk, by_bulk, shown)) break;
    if (shown != std::string_view(by_bulk).substr(start)) std::abort();
    by_bulk.push_back('\n');
  }
  if (by_line != by_bulk) std::abort();

  std::fclose(f1);
  std::fclose(f2);
  std::fclose(f3);
  return 0;
}
