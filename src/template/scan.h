// Finding and copying bytes in short texts. Templates and lyrics lines are
// short runs, for which a library call costs more than the work itself;
// these look at 16 bytes at a time in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lyricrtf {

namespace scan_detail {

// The bytes of `word` equal to `c` have their high bit set in the result;
// bytes above the lowest such byte may be marked wrongly, the lowest never.
inline uint64_t matches(uint64_t word, char c) {
  constexpr uint64_t ones = 0x0101010101010101ULL;
  uint64_t x = word ^ (ones * static_cast<unsigned char>(c));
  return (x - ones) & ~x & (ones << 7);
}

// The first `c` in a text of 4 to 15 bytes, looked at as two words of 8 or
// of 4 bytes that overlap; n when there is none.
inline size_t find_in_short(const char* p, size_t n, char c) {
  uint64_t head = 0, tail = 0;
  size_t width = n >= 8 ? 8 : 4;
  std::memcpy(&head, p, width);
  std::memcpy(&tail, p + n - width, width);
  if (width == 4) {
    // The upper half, not read, must not match.
    const uint64_t unmatched =
        0xFFFFFFFF00000000ULL & ~(0x0101010101010101ULL * static_cast<unsigned char>(c));
    head |= unmatched;
    tail |= unmatched;
  }
  if (uint64_t m = matches(head, c)) return static_cast<size_t>(__builtin_ctzll(m)) / 8;
  if (uint64_t m = matches(tail, c)) return n - width + static_cast<size_t>(__builtin_ctzll(m)) / 8;
  return n;
}

}  // namespace scan_detail

// Position of the first `c` in p[0..n), or n.
inline size_t find_byte(const char* p, size_t n, char c) {
  size_t i = 0;
#if defined(__SSE2__)
  if (n < 16) {
    if (n < 4) {
      while (i < n && p[i] != c) ++i;
      return i;
    }
    return scan_detail::find_in_short(p, n, c);
  }
  const __m128i wanted = _mm_set1_epi8(c);
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(x, wanted));
    if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  if (i < n) {
    // The last 16 bytes, overlapping those already seen.
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, wanted)));
    mask >>= 16 - (n - i);
    return mask ? i + static_cast<size_t>(__builtin_ctz(mask)) : n;
  }
  return n;
#else
  while (i < n && p[i] != c) ++i;
  return i;
#endif
}

// Whether two short texts are equal: a loop in place, 8 bytes at a time,
// costs less than a library call for the few bytes they hold.
inline bool same_bytes(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) {
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  uint64_t x = 0, y = 0;
  for (size_t i = 0; i + 8 < n; i += 8) {
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) return false;
  }
  // The last 8 bytes, overlapping those already seen.
  std::memcpy(&x, a.data() + n - 8, 8);
  std::memcpy(&y, b.data() + n - 8, 8);
  return x == y;
}

// Whether a text holds a byte of 128 or more, looked for 8 bytes at a time.
inline bool has_high_bytes(std::string_view text) {
  constexpr uint64_t high_bits = 0x8080808080808080ULL;
  const size_t n = text.size();
  uint64_t seen = 0, word = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    seen |= word;
  }
  for (; i < n; ++i) seen |= static_cast<unsigned char>(text[i]);
  return (seen & high_bits) != 0;
}

namespace scan_detail {

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that
// overlap, both read before either is written.
template <typename Word>
inline void move_two_words(char* to, const char* from, size_t n) {
  Word head = 0, tail = 0;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

}  // namespace scan_detail

// Copies n bytes from `from` to `to`, which may overlap as for memmove: a
// few bytes are read whole before any is written, in place of a library
// call that costs more than copying them.
inline void move_bytes(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memmove(to, from, n);
  } else if (n >= 8) {
    scan_detail::move_two_words<uint64_t>(to, from, n);
  } else if (n >= 4) {
    scan_detail::move_two_words<uint32_t>(to, from, n);
  } else if (n) {
    const char first = from[0], middle = from[n / 2], last = from[n - 1];
    to[0] = first;
    to[n / 2] = middle;
    to[n - 1] = last;
  }
}

// Appends to `found` the position of every `c` in p[0..n), in order.
template <typename Positions>
void find_every_byte(const char* p, size_t n, char c, Positions& found) {
  for (size_t i = find_byte(p, n, c); i < n; i += 1 + find_byte(p + i + 1, n - i - 1, c))
    found.push_back(i);
}

// Copies 16 bytes.
inline void copy_16(char* to, const char* from) {
#if defined(__SSE2__)
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), x);
#else
  std::memcpy(to, from, 16);
#endif
}

// Copies n bytes from `from` to `to`, 16 at a time where `from` has at least
// `readable` bytes, so that it may read and `to` receives up to 15 bytes
// past n: the destination must have room for them.
inline void copy_bytes(char* to, const char* from, size_t n, size_t readable) {
#if defined(__SSE2__)
  if (readable >= ((n + 15) & ~size_t{15})) {
    for (size_t i = 0; i < n; i += 16)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    return;
  }
#endif
  (void)readable;
  std::memcpy(to, from, n);
}

}  // namespace lyricrtf
