// A whole conversion: the input up to its first zero byte is the template
// file, the rest the report; both go through the real readers.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "report/reader.h"
#include "template/expander.h"
#include "template/store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* zero = std::memchr(data, 0, size);
  size_t split = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  static const char nothing[1] = {0};

  lyricrtf::init();
  FILE* templates = split ? fmemopen(const_cast<uint8_t*>(data), split, "rb") : nullptr;
  if (templates) {
    lyricrtf::get_template(templates);
    std::fclose(templates);
  }
  size_t rest = zero ? size - split - 1 : 0;
  FILE* in = rest ? fmemopen(const_cast<uint8_t*>(data + split + 1), rest, "rb")
                  : fmemopen(const_cast<char*>(nothing), 1, "rb");
  if (!in) return 0;
  FILE* out = std::fopen("/dev/null", "wb");
  lyricrtf::Report reader(in);
  if (lyricrtf::ugetc(reader) == lyricrtf::byte_order_mark) lyricrtf::put_schedule(out, reader);
  std::fclose(out);
  std::fclose(in);
  return 0;
}
