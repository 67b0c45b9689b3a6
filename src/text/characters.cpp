#include "text/characters.h"

namespace lyricrtf {

std::string valid_utf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const size_t size = b < 0x80   ? 1
                        : b < 0xC2 ? 0
                        : b < 0xE0 ? 2
                        : b < 0xF0 ? 3
                        : b < 0xF5 ? 4
                                   : 0;
    char32_t c = size == 1 ? b : b & (0x7F >> size);
    bool whole = size > 0 && i + size <= bytes.size();
    for (size_t k = 1; whole && k < size; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      whole = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // The shortest form only, and scalar values only.
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (whole && c >= least[size] && is_scalar(c)) {
      text.append(bytes.substr(i, size));
      i += size;
    } else {
      append_utf8(text, replacement_character);
      ++i;
    }
  }
  return text;
}

}  // namespace lyricrtf
