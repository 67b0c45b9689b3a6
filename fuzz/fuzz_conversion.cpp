// A whole conversion: the input up to its first zero byte is the template
// file, the rest the report; both go through the real readers. The report
// is read once in the reader's blocks of 64 KiB and once in small blocks
// of 1 to 64 bytes, as the input's last byte picks, so that every character
// and line crosses a block's end somewhere: both must agree byte for byte,
// in the document and in what they say. A declared format's document is
// what the format promises, whatever the template and the report hold:
// 7-bit ASCII in RTF, well-formed UTF-8 in HTML, text and CSV.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/reader.h"
#include "template/conversion.h"
#include "template/expander.h"
#include "driver/terminal.h"

namespace {

std::string convert(const uint8_t* templates, size_t templates_size, const std::string& report,
                    size_t block, lyricrtf::Format& format, std::string& said) {
  lyricrtf::Conversion c;
  c.messages.sink = [&said](std::string_view text, lyricrtf::Said) { said += text; };
  c.messages.at_once = false;
  lyricrtf::init(c);
  if (templates_size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(templates), templates_size, "rb");
    if (!f) std::abort();
    lyricrtf::get_template(c, f);
    std::fclose(f);
  }
  format = c.format;
  FILE* in = fmemopen(const_cast<char*>(report.data()), report.size(), "rb");
  if (!in) std::abort();
  char* bytes = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  {
    lyricrtf::Report reader(in, c.format, block);
    if (lyricrtf::starts_with_mark(reader)) lyricrtf::put_schedule(c, out, reader);
  }
  std::fclose(out);
  std::fclose(in);
  std::string output(bytes, size);
  std::free(bytes);
  return output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* zero = std::memchr(data, 0, size);
  size_t split = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  // fmemopen needs at least one byte.
  std::string report = zero && split + 1 < size
                           ? std::string(reinterpret_cast<const char*>(data) + split + 1, size - split - 1)
                           : std::string(1, '\0');
  lyricrtf::Format format;
  std::string said, said_again;
  const size_t block = size ? 7 + data[size - 1] % 58 : 7;
  const std::string output = convert(data, split, report, block, format, said);
  if (output != convert(data, split, report, lyricrtf::default_block_size, format, said_again) ||
      said != said_again)
    std::abort();
  using lyricrtf::Format;
  const bool ascii = std::all_of(output.begin(), output.end(), [](char c) { return c >= 0; });
  if (format == Format::rtf && !ascii) std::abort();
  if ((format == Format::html || format == Format::text || format == Format::csv) &&
      lyricrtf::valid_utf8(output) != output)
    std::abort();
  return 0;
}
