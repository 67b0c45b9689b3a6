// A whole conversion: the input up to its first zero byte is the template
// file, the rest the report; both go through the real readers. The report
// is read from memory, once as it stands and once through a stream that
// hands out one byte per read, so that every character and line crosses the
// ends of the reader's blocks: both must agree byte for byte. A declared
// format's document is what the format promises, whatever the template
// and the report hold: 7-bit ASCII in RTF, well-formed UTF-8 in HTML and
// text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/reader.h"
#include "template/expander.h"
#include "template/store.h"
#include "text/characters.h"

namespace {

std::string convert(const uint8_t* templates, size_t templates_size, const std::string& report,
                    size_t buffer) {
  lyricrtf::init();
  if (templates_size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(templates), templates_size, "rb");
    if (!f) std::abort();
    lyricrtf::get_template(f);
    std::fclose(f);
  }
  FILE* in = fmemopen(const_cast<char*>(report.data()), report.size(), "rb");
  if (!in) std::abort();
  std::setvbuf(in, nullptr, _IOFBF, buffer);
  char* bytes = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  {
    lyricrtf::Report reader(in, lyricrtf::format);
    if (lyricrtf::read_start(reader) == lyricrtf::Start::mark) lyricrtf::put_schedule(out, reader);
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
  const std::string output = convert(data, split, report, 1);
  if (output != convert(data, split, report, 4096)) std::abort();
  using lyricrtf::Format;
  const bool ascii = std::all_of(output.begin(), output.end(), [](char c) { return c >= 0; });
  if (lyricrtf::format == Format::rtf && !ascii) std::abort();
  if ((lyricrtf::format == Format::html || lyricrtf::format == Format::text) &&
      lyricrtf::valid_utf8(output) != output)
    std::abort();
  return 0;
}
