// The template file reader followed by an expansion over a small report.
#include <cstdint>
#include <cstdio>

#include "report/reader.h"
#include "template/conversion.h"
#include "template/expander.h"

namespace {

const char report[] =
    "\xEF\xBB\xBF"
    "Schedule Detail\nfor Fuzz.sch\nHymn\nVerse 1\na\nb\nChorus\nc\n      \nA\nc\nN\n";

ssize_t discard(void*, const char*, size_t size) { return static_cast<ssize_t>(size); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* templates = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!templates) return 0;  // an empty input opens nothing on some systems
  lyricrtf::Conversion c;
  lyricrtf::init(c);
  lyricrtf::get_template(c, templates);
  std::fclose(templates);

  FILE* in = fmemopen(const_cast<char*>(report), sizeof report - 1, "rb");
  // The document goes nowhere, without a call to the system for each run.
  FILE* out = fopencookie(nullptr, "w", {nullptr, discard, nullptr, nullptr});
  lyricrtf::Report reader(in, c.format);
  lyricrtf::starts_with_mark(reader);
  lyricrtf::put_schedule(c, out, reader);
  std::fclose(out);
  std::fclose(in);
  return 0;
}
