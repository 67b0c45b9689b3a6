// A whole conversion: the input up to its first zero byte is the template
// file, the rest the report; both go through the real readers. The report
// is converted from memory (read as asked) and from a file (read ahead in
// a second thread), once with that thread cutting every record's stanzas
// and once with the song loop cutting them: all must agree byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/reader.h"
#include "report/songs.h"
#include "template/expander.h"
#include "template/store.h"

namespace {

std::string convert(const uint8_t* templates, size_t templates_size, const std::string& report,
                    bool from_file) {
  lyricrtf::init();
  if (templates_size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(templates), templates_size, "rb");
    if (!f) std::abort();
    lyricrtf::get_template(f);
    std::fclose(f);
  }
  FILE* in;
  if (from_file) {
    in = std::tmpfile();
    if (!in) std::abort();
    std::fwrite(report.data(), 1, report.size(), in);
    std::rewind(in);
  } else {
    in = fmemopen(const_cast<char*>(report.data()), report.size(), "rb");
  }
  if (!in) std::abort();
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  {
    lyricrtf::Report reader(in);
    if (lyricrtf::ugetc(reader) == lyricrtf::byte_order_mark) lyricrtf::put_schedule(out, reader);
  }
  std::fclose(out);
  std::fclose(in);
  std::string output(buffer, size);
  std::free(buffer);
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
  const std::string asked = convert(data, split, report, false);
  for (auto sharing : {lyricrtf::StanzaSharing::reader_cuts, lyricrtf::StanzaSharing::loop_cuts}) {
    lyricrtf::stanza_sharing = sharing;
    if (convert(data, split, report, true) != asked) std::abort();
  }
  lyricrtf::stanza_sharing = lyricrtf::StanzaSharing::adaptive;
  return 0;
}
