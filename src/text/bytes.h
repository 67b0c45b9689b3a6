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

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that
// overlap in the middle.
template <typename Word>
inline void copy_two_words(char* to, const char* from, size_t n) {
  Word head, tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
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
    struct Sixteen {
      char bytes[16];
    };
    copy_two_words<Sixteen>(to, p, n);
  } else if (n >= 8) {
    copy_two_words<uint64_t>(to, p, n);
  } else if (n >= 4) {
    copy_two_words<uint32_t>(to, p, n);
  } else if (n > 0) {
    to[0] = p[0];
    to[n / 2] = p[n / 2];
    to[n - 1] = p[n - 1];
  }
}

// Every text that the expander writes has this many bytes after its end
// that may be read (and are then written over): the report's window, the
// joined stanzas and every slot's own text keep them, so that a short text
// is copied as one 64-byte move.
constexpr size_t room_past_text = 64;
inline constexpr char no_text[room_past_text] = {};  // the empty text, with its room

// Copies n bytes from `from` to `to` where both have room for 64 bytes past
// their start: 64 bytes go whatever n is, and only a longer run takes a
// second copy. Lyrics lines are of every length from 10 to 60 bytes, and
// copy_bytes's tests of the length mispredicted on one line in three.
inline void copy_with_room(char* to, const char* from, size_t n) {
  struct Block {
    char bytes[64];
  };
  std::memcpy(to, from, sizeof(Block));
  if (n > sizeof(Block)) std::memcpy(to + sizeof(Block), from + sizeof(Block), n - sizeof(Block));
}

}  // namespace lyricrtf
